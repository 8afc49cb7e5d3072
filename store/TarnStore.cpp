#include "TarnStore.h"

#include "model/JsonCoding.h"
#include "model/StateFile.h"
#include "model/WidgetError.h"
#include "model/WidgetLayout.h"
#include "store/ApplicationPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QStandardPaths>
#include <QUuid>
#include <algorithm>
#include <cmath>

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

// Appends a present value and keeps the newest `length` values; true when the list changed.
bool appendToHistory(QList<double>& history, const std::optional<double>& value, int length) {
    if (!value)
        return false;
    history.append(*value);
    if (history.size() > length)
        history.remove(0, history.size() - length);
    return true;
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
      m_sampler(readingsOrNone(std::move(environment.readings), m_clock)), m_now(m_clock->now()) {
    m_readOnly = environment.readOnly;
    m_saveWork.setSingleShot(true);
    m_saveDelay = environment.saveDelay;
    m_longestSaveDelay = std::max(environment.longestSaveDelay, environment.saveDelay);
    connect(&m_saveWork, &QTimer::timeout, this, &TarnStore::save);
    m_toastWork.setSingleShot(true);
    m_toastWork.setInterval(environment.toastDuration);
    connect(&m_toastWork, &QTimer::timeout, this, [this] {
        m_toast.reset();
        emit toastChanged();
    });

    m_services = std::make_unique<IntegrationServices>(m_directory, m_clock,
                                                       std::move(environment.integrations));
    // Views that show integration state redraw when a service changes.
    connect(m_services.get(), &IntegrationServices::changed, this, &TarnStore::changed);
    m_widgets =
            std::make_unique<WidgetRegistry>(m_directory, m_resources, environment.packageFolders);

    loadState();
    // A main timer that ran out while the application was closed completes without a word.
    m_focus.tick(m_now);

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

TarnStore::~TarnStore() = default;

QString TarnStore::defaultDirectory() {
    return ApplicationPaths::dataDirectory();
}

// ---- Loading and saving

void TarnStore::loadState() {
    bool preferencesRead = false;
    if (const auto document = readState(preferencesFile)) {
        try {
            bool dropped = false;
            setPreferences(Preferences::fromJson(*document, &dropped));
            preferencesRead = true;
            if (dropped)
                m_unreadFiles.insert(preferencesFile);
        } catch (const DecodingError&) {
            // The defaults take over; the file is kept aside at the first save.
            m_unreadFiles.insert(preferencesFile);
        }
    }
    if (!preferencesRead)
        seedExamplePages();

    m_focus = freshFocus();
    if (const auto document = readState(focusFile)) {
        try {
            m_focus = FocusSession::fromJson(Json::parseObject(*document));
        } catch (const DecodingError&) {
            m_unreadFiles.insert(focusFile);
        }
    }
    if (const auto document = readState(focusCopiesFile)) {
        try {
            m_focusCopies = focusCopiesFromJson(*document);
        } catch (const DecodingError&) {
            m_unreadFiles.insert(focusCopiesFile);
        }
    }
}

std::optional<QByteArray> TarnStore::readState(const QString& name) {
    StateFile::Reading reading = StateFile::read(m_directory, name);
    if (reading.status == StateFile::Reading::Status::unreadable)
        m_unreadFiles.insert(name);
    if (reading.status != StateFile::Reading::Status::read)
        return std::nullopt;
    return std::move(reading.contents);
}

std::optional<QString> TarnStore::keepUnreadOriginal(const QString& name) {
    if (!m_unreadFiles.contains(name))
        return std::nullopt;
    const StateFile::SetAside aside = StateFile::setAside(m_directory, name, m_clock->now());
    if (aside.error)
        return aside.error;
    m_unreadFiles.remove(name);
    if (!aside.copyName.isEmpty())
        notify(QStringLiteral("Couldn’t read %1. It is kept as %2.").arg(name, aside.copyName));
    return std::nullopt;
}

std::optional<QString> TarnStore::writeState(const QString& name, const QByteArray& contents) {
    if (m_readOnly)
        return std::nullopt;
    if (const auto error = keepUnreadOriginal(name))
        return error;
    return StateFile::write(m_directory, name, contents);
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
    scheduleSave();
    if (m_preferences.orientation != previousOrientation && orientationChanged)
        orientationChanged();
}

void TarnStore::scheduleSave() {
    // Each change puts the save off a little, but never further than the longest delay after the
    // first unsaved change: a widget writing all the time still gets its changes saved.
    if (!m_saveWork.isActive())
        m_unsavedSince.start();
    const auto left = m_longestSaveDelay - std::chrono::milliseconds(m_unsavedSince.elapsed());
    m_saveWork.start(std::clamp(left, std::chrono::milliseconds(0), m_saveDelay));
}

bool TarnStore::isNewFailure(const QString& name, const std::optional<QString>& error) {
    if (!error) {
        m_failingFiles.remove(name);
        return false;
    }
    const bool first = !m_failingFiles.contains(name);
    m_failingFiles.insert(name);
    return first;
}

void TarnStore::save() {
    m_saveWork.stop();
    const auto error = writeState(preferencesFile, m_preferences.toJson());
    if (isNewFailure(preferencesFile, error))
        notify(QStringLiteral("Couldn’t save settings: ") + *error);
    if (!error)
        emit saved();
}

void TarnStore::saveFocus() {
    const auto error = writeState(focusFile, m_focus.toJson());
    if (isNewFailure(focusFile, error))
        notify(QStringLiteral("Couldn’t save the timer: ") + *error);
}

void TarnStore::saveFocusCopies() {
    // A lost copy of a widget's timer is not worth interrupting the user for.
    writeState(focusCopiesFile, focusCopiesToJson(m_focusCopies));
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
    m_toastWork.start();
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
    completeFocusCopies();
    completeMainFocus();
}

void TarnStore::followTimeJumps() {
    const TimeJumps::Since since = m_timeJumps.read(*m_clock);
    // Counters that moved across a sleep would show as a burst in the first second after it.
    if (since.slept > 0) {
        m_sampler.startOver();
        m_services->startRatesOver();
    }
    if (since.stepped != 0)
        keepTimersThroughStep(since.stepped);
}

void TarnStore::keepTimersThroughStep(double seconds) {
    // A countdown lasts as long as it was set for, whatever the wall clock was set to meanwhile.
    const qint64 shift = std::llround(seconds * 1000);
    if (m_focus.endsAt) {
        m_focus.endsAt = m_focus.endsAt->addMSecs(shift);
        emit focusChanged();
        saveFocus();
    }
    bool shifted = false;
    for (FocusSession& copy : m_focusCopies) {
        if (copy.endsAt) {
            copy.endsAt = copy.endsAt->addMSecs(shift);
            shifted = true;
        }
    }
    if (shifted) {
        emit focusCopiesChanged();
        saveFocusCopies();
    }
}

// Throughput first, so the widgets' next states, which the new machine sample sends, hold both.
void TarnStore::takeFirstReading() {
    m_services->sampleActivity();
    takeSample();
}

void TarnStore::takeSample() {
    m_machine = m_sampler.sample();
    emit machineChanged();
    if (appendToHistory(m_cpuHistory, m_machine.cpu, historyLength))
        emit cpuHistoryChanged();
    if (appendToHistory(m_downloadHistory, m_machine.download, historyLength))
        emit downloadHistoryChanged();
    if (appendToHistory(m_gpuHistory, m_machine.gpu, historyLength))
        emit gpuHistoryChanged();
    if (appendToHistory(m_memoryHistory, m_machine.memoryUsed, historyLength))
        emit memoryHistoryChanged();
    if (appendToHistory(m_uploadHistory, m_machine.upload, historyLength))
        emit uploadHistoryChanged();
}

void TarnStore::completeFocusCopies() {
    bool anyCompleted = false;
    for (const QString& instance : m_focusCopies.keys()) {
        FocusSession& copy = m_focusCopies[instance];
        if (copy.endsAt && m_now >= *copy.endsAt) {
            copy.remaining = 0;
            copy.endsAt.reset();
            copy.completed = true;
            anyCompleted = true;
            notify(focusCompleteMessage);
        }
    }
    if (anyCompleted) {
        emit focusCopiesChanged();
        saveFocusCopies();
    }
}

void TarnStore::completeMainFocus() {
    if (!m_focus.tick(m_now))
        return;
    emit focusChanged();
    saveFocus();
    notify(focusCompleteMessage);
    if (m_sound)
        m_sound->play();
}

// ---- Pages

QList<Board> TarnStore::pages() const {
    const int count = std::clamp(m_preferences.pageCount, 1, Preferences::maximumPages);
    return QList<Board>(allBoards.begin(), allBoards.begin() + count);
}

std::optional<Board> TarnStore::addPage() {
    if (m_preferences.pageCount > Preferences::maximumPages - 1)
        return std::nullopt;
    const Board board =
            allBoards[std::clamp(m_preferences.pageCount + 1, 1, Preferences::maximumPages) - 1];
    setLayout(exampleLayout(board), board);
    // Observers see the new page and it being current in one change.
    updatePreferences([board](Preferences& p) {
        p.pageCount += 1;
        p.board = board;
    });
    save();
    if (pagesChanged)
        pagesChanged();
    return board;
}

bool TarnStore::deletePage(Board board) {
    const QList<Board> current = pages();
    if (current.size() < 2 || !current.contains(board))
        return false;
    QList<PageLayout> stored;
    for (Board page : current)
        stored.append(layout(page).oriented(m_preferences.orientation));
    const qsizetype currentIndex = std::max<qsizetype>(current.indexOf(m_preferences.board), 0);
    const qsizetype removedIndex = current.indexOf(board);
    stored.removeAt(removedIndex);

    Preferences next = m_preferences;
    for (Board page : current) {
        next.pageLayouts.remove(rawValue(page));
        next.widgetOrders.remove(rawValue(page));
    }
    for (qsizetype i = 0; i < stored.size(); ++i) {
        next.pageLayouts.insert(rawValue(allBoards[i]), stored[i]);
        next.widgetOrders.insert(rawValue(allBoards[i]), stored[i].widgets());
    }
    const qsizetype newIndex = removedIndex >= currentIndex
                                       ? std::min(stored.size() - 1, currentIndex)
                                       : currentIndex - 1;
    next.pageCount = int(stored.size());
    next.board = allBoards[newIndex];
    setPreferences(next);
    save();
    if (pagesChanged)
        pagesChanged();
    return true;
}

PageLayout TarnStore::layout(Board on) const {
    const auto stored = m_preferences.pageLayouts.constFind(rawValue(on));
    if (stored != m_preferences.pageLayouts.cend() && stored->isValid())
        return stored->oriented(m_preferences.orientation);
    const QList<WidgetKind> widgets = m_preferences.widgets(on);
    QList<std::optional<double>> preferred;
    for (const WidgetKind& widget : widgets)
        preferred.append(preferredWidth(widget, on));
    const QList<double> widths = WidgetLayout::widths(preferred, rowWidth, rowSpacing);
    return PageLayout::row(widgets, widths).oriented(m_preferences.orientation);
}

std::optional<double> TarnStore::preferredWidth(const WidgetKind& widget, Board board) const {
    const auto package = m_widgets->package(widget);
    if (!package)
        return std::nullopt;
    return package->manifest.width(rawValue(board));
}

void TarnStore::setLayout(const PageLayout& layout, Board on) {
    const PageLayout stored = layout.oriented(m_preferences.orientation);
    if (!stored.isValid())
        return;
    updatePreferences([&](Preferences& p) {
        p.pageLayouts.insert(rawValue(on), stored);
        p.widgetOrders.insert(rawValue(on), stored.widgets());
    });
}

PageLayout TarnStore::exampleLayout(Board on) const {
    QSet<WidgetKind> elsewhere;
    for (Board page : pages()) {
        if (page == on)
            continue;
        for (const WidgetKind& widget : m_preferences.widgets(page))
            elsewhere.insert(widget);
    }
    PageLayout example = PageLayout::example(on);
    for (WidgetSection& section : example.sections) {
        if (section.widget && elsewhere.contains(*section.widget))
            section.widget =
                    WidgetKind::named(section.widget->rawValue() + QStringLiteral("-copy-") +
                                      Json::uuidText(QUuid::createUuid()));
    }
    return example.oriented(m_preferences.orientation);
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

FocusSession TarnStore::freshFocus() const {
    return FocusSession::fresh(std::max(m_preferences.focusMinutes, 1) * 60.0);
}

void TarnStore::toggleFocus() {
    m_now = m_clock->now();
    emit nowChanged();
    if (m_focus.isRunning())
        m_focus.pause(m_now);
    else
        m_focus.start(m_now);
    emit focusChanged();
    saveFocus();
}

void TarnStore::resetFocus() {
    m_focus = freshFocus();
    emit focusChanged();
    saveFocus();
}

void TarnStore::setFocusMinutes(int minutes) {
    updatePreferences([minutes](Preferences& p) { p.focusMinutes = std::clamp(minutes, 1, 120); });
    resetFocus();
}

FocusSession TarnStore::focusCopy(const QString& instance) const {
    const auto stored = m_focusCopies.constFind(instance);
    return stored != m_focusCopies.cend() ? *stored : freshFocus();
}

void TarnStore::controlFocusCopy(const QString& instance, const QString& method,
                                 std::optional<int> minutes) {
    FocusSession copy = focusCopy(instance);
    if (method == QStringLiteral("focus.toggle")) {
        const QDateTime now = m_clock->now();
        if (copy.isRunning())
            copy.pause(now);
        else
            copy.start(now);
    } else if (method == QStringLiteral("focus.reset")) {
        const double wholeMinutes = std::max(std::trunc(copy.duration / 60), 1.0);
        copy = FocusSession::fresh(wholeMinutes * 60);
    } else if (method == QStringLiteral("focus.setMinutes")) {
        if (!minutes || *minutes < 1 || *minutes > 120 || copy.isRunning())
            throw WidgetError::invalid(QStringLiteral("Invalid duration or timer is running"));
        copy = FocusSession::fresh(*minutes * 60.0);
    } else {
        return;
    }
    m_focusCopies.insert(instance, copy);
    emit focusCopiesChanged();
    saveFocusCopies();
}
