#include "IntegrationServices.h"

#include "model/JsonCoding.h"
#include "model/WidgetError.h"

#include <QDir>
#include <QJsonArray>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

namespace {

using Json::orNull;

// ---- Stand-ins for a platform that offers nothing

class NoPlayer : public PlayerTransport {
public:
    void run(const QString&, QObject* receiver, Completion completion) override {
        QTimer::singleShot(0, receiver, [completion] { completion({false, {}, -1, {}}); });
    }
    bool permitted() override { return false; }
    bool isRunning() override { return false; }
    bool isInstalled() override { return false; }
    void launch(QObject*, std::function<void(const std::optional<QString>&)> done) override {
        done(QStringLiteral("Install the Spotify desktop app first"));
    }
};

class NoAudio : public AudioBackend {
public:
    QList<Output> outputs() const override { return {}; }
    std::optional<QString> defaultOutput() const override { return std::nullopt; }
    std::optional<double> volume() const override { return std::nullopt; }
    std::optional<bool> muted() const override { return std::nullopt; }
    void setVolume(double, QObject*, Completion completion) override { completion(false); }
    void setMuted(bool, QObject*, Completion completion) override { completion(false); }
    void setDefaultOutput(const QString&, QObject*, Completion completion) override {
        completion(false);
    }
    void startMicrophone(QObject*, LevelHandler, StartHandler started) override {
        started(MicrophoneStart::noInput, {});
    }
    void stopMicrophone() override {}
};

class NoCalendar : public CalendarBackend {
public:
    void requestAccess(Kind, QObject*, std::function<void(bool)> done) override { done(false); }
    void events(const QDateTime&, const QDateTime&, QObject*, Answer<QList<Event>> done) override {
        done(std::nullopt);
    }
    void reminders(QObject*, Answer<QList<Reminder>> done) override { done(std::nullopt); }
    void complete(const QString&, QObject*,
                  std::function<void(bool, const std::optional<QString>&)> done) override {
        done(false, std::nullopt);
    }
};

class NoActivityReadings : public ActivityReadings {
public:
    std::optional<QList<Disk>> disks() override { return std::nullopt; }
    std::optional<QList<Interface>> interfaces() override { return std::nullopt; }
};

class NoChooser : public FolderChooser {
public:
    void choose(const QString&, bool, Completion completion) override { completion(std::nullopt); }
};

class NoAutomations : public ShortcutsTool {
public:
    void list(double, QObject* receiver, ServiceProcess::Completion completion) override {
        QTimer::singleShot(0, receiver, [completion] { completion(ProcessResult::success({})); });
    }
    void run(const QString&, double, QObject* receiver,
             ServiceProcess::Completion completion) override {
        QTimer::singleShot(0, receiver, [completion] {
            completion(ProcessResult::failure(ServiceProcess::failureMessage()));
        });
    }
};

// Refreshes the services one after the other; one that went away is passed over.
void refreshInTurn(QList<QPointer<ProjectService>> queue) {
    while (!queue.isEmpty()) {
        const QPointer<ProjectService> service = queue.takeFirst();
        if (service) {
            service->refresh([queue] { refreshInTurn(queue); });
            return;
        }
    }
}

template <typename T, typename Fallback> std::shared_ptr<T> orFallback(std::shared_ptr<T> given) {
    return given ? given : std::make_shared<Fallback>();
}

// Argument readers: a missing key or a value of another type gives the default.
QString stringArgument(const QJsonObject& arguments, const char* key,
                       const QString& fallback = {}) {
    const QJsonValue value = arguments.value(QLatin1String(key));
    return value.isString() ? value.toString() : fallback;
}

std::optional<double> numberArgument(const QJsonObject& arguments, const char* key) {
    const QJsonValue value = arguments.value(QLatin1String(key));
    return value.isDouble() ? std::optional(value.toDouble()) : std::nullopt;
}

std::optional<QString> optionalString(const QJsonObject& arguments, const char* key) {
    const QJsonValue value = arguments.value(QLatin1String(key));
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

} // namespace

IntegrationServices::IntegrationServices(QString directory, std::shared_ptr<const Clock> clock,
                                         IntegrationPlatform platform, QObject* parent)
    : QObject(parent), m_directory(std::move(directory)), m_clock(std::move(clock)),
      m_platform(std::move(platform)) {
    m_platform.player = orFallback<PlayerTransport, NoPlayer>(m_platform.player);
    m_platform.audio = orFallback<AudioBackend, NoAudio>(m_platform.audio);
    m_platform.calendar = orFallback<CalendarBackend, NoCalendar>(m_platform.calendar);
    m_platform.chooser = orFallback<FolderChooser, NoChooser>(m_platform.chooser);
    m_platform.automations = orFallback<ShortcutsTool, NoAutomations>(m_platform.automations);
    if (!m_platform.activity)
        m_platform.activity = std::make_unique<NoActivityReadings>();
    if (!m_platform.settings)
        m_platform.settings = std::make_shared<QSettings>();
    if (!m_platform.openUrl)
        m_platform.openUrl = [](const QUrl&) { return false; };
    if (m_platform.homeFolder.isEmpty())
        m_platform.homeFolder = QDir::homePath();

    m_spotify = std::make_unique<SpotifyService>(m_platform.player, m_clock, m_platform.settings,
                                                 m_platform.artwork);
    m_audio = std::make_unique<AudioService>(m_platform.audio);
    m_organizer =
            std::make_unique<OrganizerService>(m_platform.calendar, m_clock, m_platform.openUrl);
    m_activity = std::make_unique<ActivityService>(std::move(m_platform.activity), m_clock,
                                                   m_platform.activityPrograms);
    m_ai = std::make_unique<AIActivityService>(m_platform.homeFolder, m_clock);
    m_project.reset(makeProjectService(m_directory));
    // Every service's news reaches the hub's observers.
    connect(m_spotify.get(), &SpotifyService::changed, this, &IntegrationServices::changed);
    connect(m_audio.get(), &AudioService::changed, this, &IntegrationServices::changed);
    connect(m_organizer.get(), &OrganizerService::changed, this, &IntegrationServices::changed);
    connect(m_activity.get(), &ActivityService::changed, this, &IntegrationServices::changed);
    connect(m_ai.get(), &AIActivityService::changed, this, &IntegrationServices::changed);
}

ProjectService* IntegrationServices::makeProjectService(const QString& directory) {
    auto* service = new ProjectService(directory, m_platform.chooser, m_platform.automations,
                                       m_platform.projectPrograms);
    connect(service, &ProjectService::changed, this, &IntegrationServices::changed);
    return service;
}

const QStringList& IntegrationServices::permissions() {
    static const QStringList names = {QStringLiteral("spotify"),  QStringLiteral("audio"),
                                      QStringLiteral("calendar"), QStringLiteral("reminders"),
                                      QStringLiteral("activity"), QStringLiteral("automations"),
                                      QStringLiteral("project"),  QStringLiteral("ai")};
    return names;
}

const QMap<QString, QString>& IntegrationServices::commands() {
    static const QMap<QString, QString> table = {
            {QStringLiteral("ai.refresh"), QStringLiteral("ai")},
            {QStringLiteral("spotify.connect"), QStringLiteral("spotify")},
            {QStringLiteral("spotify.control"), QStringLiteral("spotify")},
            {QStringLiteral("audio.volume"), QStringLiteral("audio")},
            {QStringLiteral("audio.mute"), QStringLiteral("audio")},
            {QStringLiteral("audio.output"), QStringLiteral("audio")},
            {QStringLiteral("audio.microphone"), QStringLiteral("audio")},
            {QStringLiteral("calendar.connect"), QStringLiteral("calendar")},
            {QStringLiteral("calendar.join"), QStringLiteral("calendar")},
            {QStringLiteral("reminders.connect"), QStringLiteral("reminders")},
            {QStringLiteral("reminders.complete"), QStringLiteral("reminders")},
            {QStringLiteral("activity.latency"), QStringLiteral("activity")},
            {QStringLiteral("automations.refresh"), QStringLiteral("automations")},
            {QStringLiteral("automations.run"), QStringLiteral("automations")},
            {QStringLiteral("project.choose"), QStringLiteral("project")},
            {QStringLiteral("project.buildLog"), QStringLiteral("project")},
            {QStringLiteral("project.refresh"), QStringLiteral("project")}};
    return table;
}

QString IntegrationServices::instanceFolderName(const QString& instanceID) {
    return QString::fromLatin1(instanceID.toUtf8().toBase64())
            .replace(QLatin1Char('/'), QLatin1Char('_'));
}

ProjectService& IntegrationServices::projectFor(const QString& instanceID) {
    if (instanceID == QStringLiteral("project-status"))
        return *m_project;
    auto found = m_projects.find(instanceID);
    if (found == m_projects.end()) {
        const QString folder =
                QDir(m_directory)
                        .filePath(QStringLiteral("Instances/") + instanceFolderName(instanceID));
        found = m_projects.emplace(instanceID, makeProjectService(folder)).first;
    }
    return *found->second;
}

QJsonObject IntegrationServices::snapshot(const QString& permission, const QString& instanceID) {
    m_active.insert(permission, m_clock->now());
    if (permission == QStringLiteral("ai"))
        return m_ai->state();
    if (permission == QStringLiteral("spotify"))
        return m_spotify->state();
    if (permission == QStringLiteral("audio"))
        return m_audio->state();
    if (permission == QStringLiteral("calendar"))
        return m_organizer->calendarState();
    if (permission == QStringLiteral("reminders"))
        return m_organizer->remindersState();
    if (permission == QStringLiteral("activity"))
        return {{QStringLiteral("disks"), m_activity->disks()},
                {QStringLiteral("interfaces"), m_activity->interfaces()},
                {QStringLiteral("processes"), m_activity->processes()},
                {QStringLiteral("processError"), orNull(m_activity->processError())},
                {QStringLiteral("latency"), orNull(m_activity->latency())},
                {QStringLiteral("latencyEnabled"), m_activity->latencyEnabled()},
                {QStringLiteral("latencyMessage"), m_activity->latencyMessage()}};
    if (permission == QStringLiteral("automations"))
        return {{QStringLiteral("shortcuts"), QJsonArray::fromStringList(m_project->shortcuts())},
                {QStringLiteral("status"), m_project->shortcutStatus()}};
    if (permission == QStringLiteral("project"))
        return projectFor(instanceID).state();
    return {};
}

void IntegrationServices::perform(const QString& command, const QJsonObject& arguments,
                                  const QString& instanceID, Done done) {
    // Success tells the observers once; a failure passes to the caller untouched.
    QPointer<IntegrationServices> self(this);
    const Done finish = [self, done](const std::optional<QString>& error) {
        if (!error && self)
            emit self->changed();
        done(error);
    };
    const auto succeed = [finish] { finish(std::nullopt); };

    if (command == QStringLiteral("ai.refresh")) {
        m_ai->refresh(succeed);
    } else if (command == QStringLiteral("spotify.connect")) {
        m_spotify->connect(finish);
    } else if (command == QStringLiteral("spotify.control")) {
        m_spotify->command(stringArgument(arguments, "action"), numberArgument(arguments, "value"),
                           optionalString(arguments, "uri"), finish);
    } else if (command == QStringLiteral("audio.volume")) {
        m_audio->setVolume(numberArgument(arguments, "value").value_or(-1.0), finish);
    } else if (command == QStringLiteral("audio.mute")) {
        m_audio->mute(finish);
    } else if (command == QStringLiteral("audio.output")) {
        m_audio->output(stringArgument(arguments, "id"), finish);
    } else if (command == QStringLiteral("audio.microphone")) {
        m_audio->microphone(finish);
    } else if (command == QStringLiteral("calendar.connect")) {
        m_organizer->authorize(OrganizerService::Kind::events, finish);
    } else if (command == QStringLiteral("calendar.join")) {
        m_organizer->join(stringArgument(arguments, "id"), finish);
    } else if (command == QStringLiteral("reminders.connect")) {
        m_organizer->authorize(OrganizerService::Kind::reminders, finish);
    } else if (command == QStringLiteral("reminders.complete")) {
        m_organizer->complete(stringArgument(arguments, "id"), finish);
    } else if (command == QStringLiteral("activity.latency")) {
        m_activity->toggleLatency();
        if (m_activity->latencyEnabled())
            m_activity->ping(succeed);
        else
            succeed();
    } else if (command == QStringLiteral("automations.refresh")) {
        m_project->loadShortcuts(succeed);
    } else if (command == QStringLiteral("automations.run")) {
        m_project->runShortcut(stringArgument(arguments, "name"), finish);
    } else if (command == QStringLiteral("project.choose")) {
        projectFor(instanceID).choose(false, succeed);
    } else if (command == QStringLiteral("project.buildLog")) {
        projectFor(instanceID).choose(true, succeed);
    } else if (command == QStringLiteral("project.refresh")) {
        projectFor(instanceID).refresh(succeed);
    } else {
        done(QStringLiteral("Unknown integration command"));
    }
}

QSet<QString> IntegrationServices::recentPermissions() const {
    const QDateTime now = m_clock->now();
    QSet<QString> recent;
    for (auto it = m_active.cbegin(); it != m_active.cend(); ++it) {
        if (it.value().msecsTo(now) < qint64(recentSeconds * 1000))
            recent.insert(it.key());
    }
    return recent;
}

void IntegrationServices::sampleActivity() {
    m_activity->sample();
}

void IntegrationServices::startRatesOver() {
    m_activity->startOver();
}

void IntegrationServices::rest() {
    if (!m_inUseAtRest)
        m_inUseAtRest = recentPermissions();
    m_audio->stopMicrophone();
    if (m_inUseAtRest->contains(QStringLiteral("activity")))
        m_activity->sample();
}

void IntegrationServices::tick() {
    m_inUseAtRest.reset();
    ++m_ticks;
    const QSet<QString> recent = recentPermissions();
    if (recent.contains(QStringLiteral("ai")) && m_ticks % 2 == 0)
        m_ai->refresh();
    if (recent.contains(QStringLiteral("spotify")))
        m_spotify->refresh();
    // The microphone runs only while an audio widget is being looked at.
    if (recent.contains(QStringLiteral("audio")))
        m_audio->refresh();
    else
        m_audio->stopMicrophone();
    if (recent.contains(QStringLiteral("activity"))) {
        m_activity->sample();
        if (m_ticks % 5 == 0) {
            QPointer<ActivityService> activity(m_activity.get());
            m_activity->refreshProcesses([activity] {
                if (activity)
                    activity->ping();
            });
        }
    }
    if (m_ticks % 15 == 0) {
        if (recent.contains(QStringLiteral("calendar")))
            m_organizer->refresh(OrganizerService::Kind::events);
        if (recent.contains(QStringLiteral("reminders")))
            m_organizer->refresh(OrganizerService::Kind::reminders);
        if (recent.contains(QStringLiteral("project")))
            refreshProjects();
    }
}

void IntegrationServices::refreshProjects() {
    // The shared service first, then every widget's own, one after the other.
    QList<QPointer<ProjectService>> queue{m_project.get()};
    for (const auto& [instance, service] : m_projects)
        queue.append(service.get());
    refreshInTurn(queue);
}
