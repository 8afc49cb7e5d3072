#pragma once

#include "integrations/IntegrationServices.h"
#include "integrations/MachineReadings.h"
#include "integrations/MachineSnapshot.h"
#include "integrations/MetricsSampler.h"
#include "model/AppLauncher.h"
#include "model/Board.h"
#include "model/Clock.h"
#include "model/FocusSession.h"
#include "model/PageLayout.h"
#include "model/Preferences.h"
#include "model/TimeJumps.h"
#include "packages/WidgetRegistry.h"
#include "store/CompletionSound.h"
#include "store/FocusTimers.h"
#include "store/MetricHistories.h"
#include "store/Pages.h"
#include "store/SaveSchedule.h"
#include "store/StartAtLogin.h"
#include "store/StateFiles.h"
#include "touch/DelayedTasks.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

enum class SettingsTab { general, layouts, packages };

// The one observable object of live state: the preferences, the focus timers, the clock, the
// machine metrics with their histories, the toast and the settings window's state. It loads them
// from its directory, writes them back, and runs the one-second heartbeat. Main thread only.
class TarnStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(
            Preferences preferences READ preferences WRITE setPreferences NOTIFY preferencesChanged)
    Q_PROPERTY(FocusCopies focusCopies READ focusCopies NOTIFY focusCopiesChanged)
    Q_PROPERTY(FocusSession focus READ focus NOTIFY focusChanged)
    Q_PROPERTY(QDateTime now READ now NOTIFY nowChanged)
    Q_PROPERTY(MachineSnapshot machine READ machine NOTIFY machineChanged)
    Q_PROPERTY(QList<double> cpuHistory READ cpuHistory NOTIFY historiesChanged)
    Q_PROPERTY(QList<double> gpuHistory READ gpuHistory NOTIFY historiesChanged)
    Q_PROPERTY(QList<double> memoryHistory READ memoryHistory NOTIFY historiesChanged)
    Q_PROPERTY(QList<double> uploadHistory READ uploadHistory NOTIFY historiesChanged)
    Q_PROPERTY(QList<double> downloadHistory READ downloadHistory NOTIFY historiesChanged)
    Q_PROPERTY(std::optional<QString> toast READ toast NOTIFY toastChanged)
    Q_PROPERTY(bool settingsOpen READ settingsOpen WRITE setSettingsOpen NOTIFY settingsOpenChanged)
    Q_PROPERTY(
            SettingsTab settingsTab READ settingsTab WRITE setSettingsTab NOTIFY settingsTabChanged)
    Q_PROPERTY(QString displayName READ displayName WRITE setDisplayName NOTIFY displayNameChanged)
    Q_PROPERTY(bool watched READ watched WRITE setWatched NOTIFY watchedChanged)

public:
    static constexpr int historyLength = MetricHistories::length;
    static constexpr int firstReadingDelay = 300; // milliseconds after start

    // What the store works with. The application passes the user's folders and the Linux
    // facilities; tests pass temporary folders and fakes.
    struct Environment {
        std::optional<QString> directory; // default: $XDG_DATA_HOME/Tarn
        std::optional<QString> resources; // default: the application's resources folder
        bool startTimer = true;           // false: no first sample and no heartbeat
        std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>();
        // Work that runs later (saves, the toast's end, a stopped widget's reload); none: timers
        // of the event loop.
        std::shared_ptr<DelayedTasks> tasks;
        std::shared_ptr<AppLauncher> launcher;      // none: no application can be found
        std::shared_ptr<CompletionSound> sound;     // none: silent
        std::shared_ptr<StartAtLogin> startAtLogin; // none: starting at login is not offered
        std::unique_ptr<MachineReadings> readings;  // none: no metrics
        std::shared_ptr<PackageFolders> packageFolders = std::make_shared<PackageFolders>();
        IntegrationPlatform integrations; // empty parts: that integration has nothing to show
        std::chrono::milliseconds saveDelay{400};
        // However often changes come, they are saved this long after the first one at the latest.
        std::chrono::milliseconds longestSaveDelay{2000};
        std::chrono::milliseconds toastDuration{5000};
        // Reads the state and never writes it, nor sets a damaged file aside: for a tool that
        // looks into the data folder of a dashboard that may be running and saving meanwhile.
        bool readOnly = false;
    };

    explicit TarnStore(Environment environment, QObject* parent = nullptr);
    ~TarnStore() override;

    static QString defaultDirectory();
    QString directory() const { return m_directory; }
    QString resourcesDirectory() const { return m_resources; }
    WidgetRegistry& widgets() const { return *m_widgets; }
    IntegrationServices& services() const { return *m_services; }
    std::shared_ptr<AppLauncher> launcher() const { return m_launcher; }
    // The general settings' "Start Tablora when you log in"; none when not offered.
    StartAtLogin* startAtLogin() const { return m_startAtLogin.get(); }
    const Clock& clock() const { return *m_clock; }
    DelayedTasks& tasks() const { return *m_tasks; }

    // Published state
    const Preferences& preferences() const { return m_preferences; }
    // Every change of the preferences is saved 0.4 s after the last one, and at the latest 2 s
    // after the first unsaved one.
    void setPreferences(const Preferences& preferences);
    void updatePreferences(const std::function<void(Preferences&)>& change);
    const FocusCopies& focusCopies() const { return m_focusTimers.copies(); }
    const FocusSession& focus() const { return m_focusTimers.main(); }
    QDateTime now() const { return m_now; }
    const MachineSnapshot& machine() const { return m_machine; }
    const QList<double>& cpuHistory() const { return history(MetricHistories::Metric::cpu); }
    const QList<double>& gpuHistory() const { return history(MetricHistories::Metric::gpu); }
    const QList<double>& memoryHistory() const { return history(MetricHistories::Metric::memory); }
    const QList<double>& uploadHistory() const { return history(MetricHistories::Metric::upload); }
    const QList<double>& downloadHistory() const {
        return history(MetricHistories::Metric::download);
    }
    const QList<double>& history(MetricHistories::Metric metric) const {
        return m_histories.of(metric);
    }
    std::optional<QString> toast() const { return m_toast; }
    bool settingsOpen() const { return m_settingsOpen; }
    void setSettingsOpen(bool open);
    SettingsTab settingsTab() const { return m_settingsTab; }
    void setSettingsTab(SettingsTab tab);
    QString displayName() const { return m_displayName; }
    void setDisplayName(const QString& name);
    // Whether anybody can see the dashboard. While nobody can, widgets get no state and the
    // heartbeat keeps only what must go on: the clock, the focus timers and the histories.
    bool watched() const { return m_watched; }
    void setWatched(bool watched);

    // Installed by the application: after a page was added or deleted, after the orientation
    // changed, and the two requests of the settings window.
    std::function<void()> pagesChanged;
    std::function<void()> orientationChanged;
    std::function<void()> moveToDisplay;
    std::function<void()> togglePreview;

    // Pages
    QList<Board> pages() const;
    std::optional<Board> addPage();
    bool deletePage(Board board);
    // Always valid and in the display's orientation.
    PageLayout layout(Board on) const;
    void setLayout(const PageLayout& layout, Board on);
    PageLayout exampleLayout(Board on) const;
    // Exchanges two widgets on the current page.
    void swapWidgets(const WidgetKind& a, const WidgetKind& b);

    void launch(const Shortcut& shortcut);
    // Shows a message for five seconds; a newer one replaces it.
    void notify(const QString& message);
    void save();
    void tick(const QDateTime& date);

    // Focus timers
    void toggleFocus();
    void resetFocus();
    void setFocusMinutes(int minutes);
    FocusSession focusCopy(const QString& instance) const;
    // Throws WidgetError for a length out of range or a running copy.
    void controlFocusCopy(const QString& instance, const QString& method,
                          std::optional<int> minutes);
    void saveFocus();
    void saveFocusCopies();

signals:
    void preferencesChanged();
    void focusCopiesChanged();
    void focusChanged();
    void nowChanged();
    void machineChanged();
    void historiesChanged();
    void toastChanged();
    void settingsOpenChanged();
    void settingsTabChanged();
    void displayNameChanged();
    void watchedChanged();
    // Integration state changed; views that show it redraw.
    void changed();
    // "preferences.json" was written.
    void saved();

private:
    void connectFocusTimers();
    void loadState();
    // Writes a state file; the error when it could not be written. The user is told of a failure
    // once until the file saves again, under `failure` unless it is empty.
    std::optional<QString> writeState(const QString& name, const QByteArray& contents,
                                      const QString& failure);
    void seedExamplePages();
    void afterPreferencesChange(LayoutOrientation previousOrientation);
    void takeFirstReading();
    void takeSample();
    void followTimeJumps();
    void hideToast();

    QString m_directory;
    QString m_resources;
    std::shared_ptr<const Clock> m_clock;
    std::shared_ptr<DelayedTasks> m_tasks;
    std::shared_ptr<AppLauncher> m_launcher;
    std::shared_ptr<CompletionSound> m_sound;
    std::shared_ptr<StartAtLogin> m_startAtLogin;
    MetricsSampler m_sampler;
    std::unique_ptr<IntegrationServices> m_services;
    std::unique_ptr<WidgetRegistry> m_widgets;
    std::unique_ptr<Pages> m_pages;
    StateFiles m_files;
    SaveSchedule m_preferencesSave;

    Preferences m_preferences;
    FocusTimers m_focusTimers;
    QDateTime m_now;
    MachineSnapshot m_machine;
    MetricHistories m_histories;
    std::optional<QString> m_toast;
    bool m_settingsOpen = false;
    SettingsTab m_settingsTab = SettingsTab::general;
    QString m_displayName = QStringLiteral("Preview");
    bool m_watched = true;

    QTimer m_heartbeat;
    TimeJumps m_timeJumps;
    std::chrono::milliseconds m_toastDuration;
    DelayedTasks::Handle m_toastEnd = 0;
};
