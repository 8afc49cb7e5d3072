#include "TarnStore.h"

#include "model/JsonCoding.h"
#include "store/ApplicationPaths.h"

#include <QFileInfo>
#include <QPointer>
#include <algorithm>

namespace {

const QString preferencesFile = QStringLiteral("preferences.json");
const QString focusFile = QStringLiteral("focus.json");
const QString focusCopiesFile = QStringLiteral("focus-copies.json");
const QString focusCompleteMessage = QStringLiteral("Focus complete. Time for a breather.");

// Used when the platform offers no readings: every metric stays absent.
class NoMachineReadings : public MachineReadings {
public:
    explicit NoMachineReadings(std::shared_ptr<const Clock> clock) : m_clock(std::move(clock)) {}
    std::optional<CPUReading> cpu() override { return std::nullopt; }
    Memory memory() override { return {}; }
    std::optional<Gpu> gpu() override { return std::nullopt; }
    double uptime() override { return m_clock->uptime(); }
    QString startupVolumePath() override { return QStringLiteral("/"); }
    QList<Volume> volumes() override { return {}; }
    std::optional<NetworkCounters> network() override { return std::nullopt; }

private:
    std::shared_ptr<const Clock> m_clock;
};

// Used when the platform cannot find or open applications.
class NoApplications : public AppLauncher {
public:
    std::optional<QString> locate(const QString&) override { return std::nullopt; }
    std::optional<Application> inspect(const QString&) override { return std::nullopt; }
    void open(const QString&, Completion completion) override {
        completion(QStringLiteral("Applications cannot be opened here."));
    }
};

std::unique_ptr<MachineReadings> readingsOrNone(std::unique_ptr<MachineReadings> readings,
                                                const std::shared_ptr<const Clock>& clock) {
    if (readings)
        return readings;
    return std::make_unique<NoMachineReadings>(clock);
}

} // namespace

TarnStore::TarnStore(Environment environment, QObject* parent)
    : QObject(parent), m_directory(environment.directory.value_or(defaultDirectory())),
      m_resources(environment.resources.value_or(ApplicationPaths::resourcesDirectory())),
      m_clock(std::move(environment.clock)),
      m_tasks(environment.tasks ? std::move(environment.tasks) : std::make_shared<TimerTasks>()),
      m_launcher(environment.launcher ? std::move(environment.launcher)
                                      : std::make_shared<NoApplications>()),
      m_sound(std::move(environment.sound)), m_startAtLogin(std::move(environment.startAtLogin)),
      m_sampler(readingsOrNone(std::move(environment.readings), m_clock)),
      m_files(m_directory, m_clock,
              environment.readOnly ? StateFiles::Access::readOnly : StateFiles::Access::readWrite),
      m_preferencesSave(m_tasks, m_clock, environment.saveDelay, environment.longestSaveDelay,
                        [this] { save(); }),
      m_now(m_clock->now()), m_toastDuration(environment.toastDuration) {
    m_services = std::make_unique<IntegrationServices>(m_directory, m_clock,
                                                       std::move(environment.integrations));
    // Views that show integration state redraw when a service changes.
    connect(m_services.get(), &IntegrationServices::changed, this, &TarnStore::changed);
    m_widgets =
            std::make_unique<WidgetRegistry>(m_directory, m_resources, environment.packageFolders);
    m_pages = std::make_unique<Pages>(*m_widgets);

    loadState();
    connectFocusTimers();

    if (environment.startTimer) {
        // Rates and loads are differences between two samples: the first pair is taken a moment
        // apart at start, so the first page shows readings, not placeholders, for its first second.
        m_machine = m_sampler.sample();
        m_services->sampleActivity();
        QTimer::singleShot(firstReadingDelay, this, &TarnStore::takeFirstReading);
        m_heartbeat.setTimerType(Qt::PreciseTimer);
        m_heartbeat.setInterval(1000);
        connect(&m_heartbeat, &QTimer::timeout, this, [this] { tick(m_clock->now()); });
        m_heartbeat.start();
    }
}

TarnStore::~TarnStore() {
    if (m_toastEnd)
        m_tasks->cancel(m_toastEnd);
}

QString TarnStore::defaultDirectory() {
    return ApplicationPaths::dataDirectory();
}

void TarnStore::connectFocusTimers() {
    connect(&m_focusTimers, &FocusTimers::mainChanged, this, [this] {
        emit focusChanged();
        saveFocus();
    });
    connect(&m_focusTimers, &FocusTimers::copiesChanged, this, [this] {
        emit focusCopiesChanged();
        saveFocusCopies();
    });
    connect(&m_focusTimers, &FocusTimers::completed, this, [this](bool mainTimer) {
        notify(focusCompleteMessage);
        if (mainTimer && m_sound)
            m_sound->play();
    });
}

// ---- Loading and saving

void TarnStore::loadState() {
    bool preferencesRead = false;
    if (const auto document = m_files.read(preferencesFile)) {
        try {
            bool dropped = false;
            setPreferences(Preferences::fromJson(*document, &dropped));
            preferencesRead = true;
            if (dropped)
                m_files.markUnread(preferencesFile);
        } catch (const DecodingError&) {
            // The defaults take over; the file is kept aside at the first save.
            m_files.markUnread(preferencesFile);
        }
    }
    if (!preferencesRead)
        seedExamplePages();

    FocusSession focus = FocusTimers::fresh(m_preferences.focusMinutes);
    if (const auto document = m_files.read(focusFile)) {
        try {
            focus = FocusSession::fromJson(Json::parseObject(*document));
        } catch (const DecodingError&) {
            m_files.markUnread(focusFile);
        }
    }
    FocusCopies copies;
    if (const auto document = m_files.read(focusCopiesFile)) {
        try {
            copies = focusCopiesFromJson(*document);
        } catch (const DecodingError&) {
            m_files.markUnread(focusCopiesFile);
        }
    }
    m_focusTimers.restore(focus, copies, m_now);
}

std::optional<QString> TarnStore::writeState(const QString& name, const QByteArray& contents,
                                             const QString& failure) {
    const StateFiles::Written written = m_files.write(name, contents);
    if (!written.keptAs.isEmpty())
        notify(QStringLiteral("Couldn’t read %1. It is kept as %2.").arg(name, written.keptAs));
    if (written.firstFailure && !failure.isEmpty())
        notify(failure + *written.error);
    return written.error;
}

void TarnStore::seedExamplePages() {
    for (Board board : pages()) {
        updatePreferences([board](Preferences& p) {
            p.pageLayouts.insert(rawValue(board), PageLayout::example(board));
        });
    }
}

void TarnStore::setPreferences(const Preferences& preferences) {
    const LayoutOrientation previous = m_preferences.orientation;
    m_preferences = preferences;
    afterPreferencesChange(previous);
}

void TarnStore::updatePreferences(const std::function<void(Preferences&)>& change) {
    const LayoutOrientation previous = m_preferences.orientation;
    change(m_preferences);
    afterPreferencesChange(previous);
}

void TarnStore::afterPreferencesChange(LayoutOrientation previousOrientation) {
    if (m_services)
        m_services->spotify().pin(m_preferences.musicPlayer);
    emit preferencesChanged();
    m_preferencesSave.changed();
    if (m_preferences.orientation != previousOrientation && orientationChanged)
        orientationChanged();
}

void TarnStore::save() {
    m_preferencesSave.saved();
    if (!writeState(preferencesFile, m_preferences.toJson(),
                    QStringLiteral("Couldn’t save settings: ")))
        emit saved();
}

void TarnStore::saveFocus() {
    writeState(focusFile, focus().toJson(), QStringLiteral("Couldn’t save the timer: "));
}

void TarnStore::saveFocusCopies() {
    // A lost copy of a widget's timer is not worth interrupting the user for.
    writeState(focusCopiesFile, focusCopiesToJson(focusCopies()), QString());
}

// ---- Published fields set from outside

void TarnStore::setSettingsOpen(bool open) {
    if (m_settingsOpen == open)
        return;
    m_settingsOpen = open;
    emit settingsOpenChanged();
}

void TarnStore::setSettingsTab(SettingsTab tab) {
    if (m_settingsTab == tab)
        return;
    m_settingsTab = tab;
    emit settingsTabChanged();
}

void TarnStore::setDisplayName(const QString& name) {
    if (m_displayName == name)
        return;
    m_displayName = name;
    emit displayNameChanged();
}

void TarnStore::setWatched(bool watched) {
    if (m_watched == watched)
        return;
    m_watched = watched;
    // Widgets publish as soon as they hear of it, so with the time of now; integrations that
    // rested refresh at once rather than at the next beat.
    if (watched) {
        m_now = m_clock->now();
        emit nowChanged();
    }
    emit watchedChanged();
    if (watched)
        m_services->tick();
}

// ---- Toasts

void TarnStore::notify(const QString& message) {
    m_toast = message;
    emit toastChanged();
    if (m_toastEnd)
        m_tasks->cancel(m_toastEnd);
    m_toastEnd = m_tasks->schedule(m_toastDuration.count() / 1000.0, [this] { hideToast(); });
}

void TarnStore::hideToast() {
    m_toastEnd = 0;
    m_toast.reset();
    emit toastChanged();
}

// ---- Heartbeat

void TarnStore::tick(const QDateTime& date) {
    followTimeJumps();
    m_now = date;
    emit nowChanged();
    if (m_watched)
        m_services->tick();
    else
        m_services->rest();
    // The histories go on whether or not anybody looks, so they have no gap when somebody does.
    takeSample();
    m_focusTimers.completeDue(m_now);
}

void TarnStore::followTimeJumps() {
    const TimeJumps::Since since = m_timeJumps.read(*m_clock);
    // Counters that moved across a sleep would show as a burst in the first second after it.
    if (since.slept > 0) {
        m_sampler.startOver();
        m_services->startRatesOver();
    }
    if (since.stepped != 0)
        m_focusTimers.keepThroughStep(since.stepped);
}

// Throughput first, so the widgets' next states, which the new machine sample sends, hold both.
void TarnStore::takeFirstReading() {
    m_services->sampleActivity();
    takeSample();
}

void TarnStore::takeSample() {
    m_machine = m_sampler.sample();
    emit machineChanged();
    if (m_histories.append(m_machine))
        emit historiesChanged();
}

// ---- Pages

QList<Board> TarnStore::pages() const {
    return Pages::of(m_preferences);
}

std::optional<Board> TarnStore::addPage() {
    const std::optional<Preferences> next = Pages::withPageAdded(m_preferences);
    if (!next)
        return std::nullopt;
    // Observers see the new page and it being current in one change.
    setPreferences(*next);
    save();
    if (pagesChanged)
        pagesChanged();
    return next->board;
}

bool TarnStore::deletePage(Board board) {
    const std::optional<Preferences> next = m_pages->withPageDeleted(m_preferences, board);
    if (!next)
        return false;
    setPreferences(*next);
    save();
    if (pagesChanged)
        pagesChanged();
    return true;
}

PageLayout TarnStore::layout(Board on) const {
    return m_pages->layout(m_preferences, on);
}

void TarnStore::setLayout(const PageLayout& layout, Board on) {
    if (layout.oriented(m_preferences.orientation).isValid())
        setPreferences(Pages::withLayout(m_preferences, layout, on));
}

PageLayout TarnStore::exampleLayout(Board on) const {
    return Pages::example(m_preferences, on);
}

void TarnStore::swapWidgets(const WidgetKind& a, const WidgetKind& b) {
    updatePreferences([&](Preferences& p) { p.swapWidgets(a, b, p.board); });
}

// ---- Launching

void TarnStore::launch(const Shortcut& shortcut) {
    std::optional<QString> location = shortcut.path;
    if (!location)
        location = m_launcher->locate(shortcut.bundleID);
    if (!location || !QFileInfo::exists(*location)) {
        notify(shortcut.name + QStringLiteral(" isn’t installed. Choose another app in Settings."));
        return;
    }
    QPointer<TarnStore> self(this);
    const QString name = shortcut.name;
    m_launcher->open(*location, [self, name](const std::optional<QString>& error) {
        if (!error)
            return;
        // The launcher may answer from another thread; the store is touched on its own.
        QMetaObject::invokeMethod(
                self,
                [self, name, message = *error] {
                    if (self)
                        self->notify(QStringLiteral("Couldn’t open ") + name +
                                     QStringLiteral(": ") + message);
                },
                Qt::QueuedConnection);
    });
}

// ---- Focus timers

void TarnStore::toggleFocus() {
    m_now = m_clock->now();
    emit nowChanged();
    m_focusTimers.toggleMain(m_now);
}

void TarnStore::resetFocus() {
    m_focusTimers.resetMain(m_preferences.focusMinutes);
}

void TarnStore::setFocusMinutes(int minutes) {
    updatePreferences([minutes](Preferences& p) {
        p.focusMinutes =
                std::clamp(minutes, FocusSession::shortestMinutes, FocusSession::longestMinutes);
    });
    resetFocus();
}

FocusSession TarnStore::focusCopy(const QString& instance) const {
    return m_focusTimers.copy(instance, m_preferences.focusMinutes);
}

void TarnStore::controlFocusCopy(const QString& instance, const QString& method,
                                 std::optional<int> minutes) {
    m_focusTimers.controlCopy(instance, method, minutes, m_clock->now(),
                              m_preferences.focusMinutes);
}
