#pragma once

#include "model/Clock.h"
#include "touch/DelayedTasks.h"
#include "touch/EdgeHIDReader.h"
#include "touch/LegacyDriver.h"
#include "touch/ScreenDirectory.h"
#include "touch/ServiceControl.h"
#include "touch/TouchContacts.h"
#include "touch/TouchHost.h"
#include "touch/TouchLog.h"
#include "touch/TouchWindows.h"

#include <QObject>
#include <memory>
#include <optional>

// The single owner of touch input. With the direct touch preference on it pauses the legacy
// mouse driver, reads the touchscreen exclusively and turns its contacts into region actions,
// page swipes, widget drags and scrolls; when the device cannot be opened it restores the driver
// and feeds left-button mouse events on the dashboard into the same machinery instead.
// Main thread only.
class DirectTouchController : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<TouchFeedback> feedback READ feedback NOTIFY feedbackChanged)
    Q_PROPERTY(int pageIndicatorRevision READ pageIndicatorRevision NOTIFY
                       pageIndicatorRevisionChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(bool inputMonitoringDenied READ inputMonitoringDenied NOTIFY
                       inputMonitoringDeniedChanged)
    Q_PROPERTY(bool running READ isRunning NOTIFY runningChanged)

public:
    static constexpr int startRetries = 8;
    static constexpr double retryDelay = 0.25;
    // The longest the program waits at exit for the legacy driver to come back.
    static constexpr int shutdownWait = 3000;

    struct Environment {
        TouchHost host;
        const ScreenDirectory* screens = nullptr; // required
        std::unique_ptr<TouchWindows> windows;    // required
        std::unique_ptr<HidDeviceSource> devices; // none: no touchscreen ever attaches
        std::unique_ptr<ServiceControl> services; // none: there is no legacy driver
        std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>();
        std::shared_ptr<DelayedTasks> tasks; // none: timers of the event loop
        QString supportFolder;               // where touch.log and the marker live
        // The user unit of the legacy mouse driver.
        QString legacyLabel = QStringLiteral("tablora-legacy-mouse.service");
    };

    enum class MouseEvent { down, dragged, up };

    explicit DirectTouchController(Environment environment, QObject* parent = nullptr);
    // Stops, and waits a moment for the legacy driver's restore.
    ~DirectTouchController() override;

    const std::optional<TouchFeedback>& feedback() const { return m_feedback; }
    int pageIndicatorRevision() const { return m_pageIndicatorRevision; }
    QString status() const { return m_status; }
    bool inputMonitoringDenied() const { return m_inputMonitoringDenied; }
    bool isRunning() const { return m_running; }
    bool isStarting() const { return m_starting; }
    bool legacyDriverPaused() const { return m_legacy.paused(); }
    QString logPath() const { return m_log.path(); }

    // Opens the touchscreen if the preference wants it and nothing is under way.
    void start();
    // Back to standard mouse mode: closes the device and restores the legacy driver.
    void stop();
    // After the preference changed, or to try again.
    void refreshMode();

    // The surface registry the views fill.
    void attachSurface(const QUuid& id, QObject* view, bool isDashboard);
    void updateRegions(const QUuid& id, QList<TouchRegion> regions);
    void removeSurface(const QUuid& id);
    const TouchContacts& contacts() const { return m_contacts; }

    // A left-button mouse event of the application (in global coordinates); true when the mouse
    // fallback takes it, which it does only while direct touch is wanted but not running.
    bool routeFallbackMouse(MouseEvent event, QPointF screenPoint, bool synthetic);

signals:
    void feedbackChanged();
    void pageIndicatorRevisionChanged(int revision);
    void statusChanged(const QString& status);
    void inputMonitoringDeniedChanged(bool denied);
    void runningChanged(bool running);
    // A finger came down on the touchscreen (only this program sees it).
    void touched();

private:
    void receive(const TouchSample& sample);
    void connectionChanged(bool connected);
    void attemptStart(int generation, int attempt);
    void openFailed(int result);
    void logPermissions();
    void setStatus(const QString& status);
    void setRunning(bool running);
    void setInputMonitoringDenied(bool denied);
    void log(const QString& message) const { m_log.write(message); }

    Environment m_environment;
    TouchLog m_log;
    EdgeHIDReader m_reader;
    LegacyDriver m_legacy;
    TouchContacts m_contacts;

    std::optional<TouchFeedback> m_feedback;
    int m_pageIndicatorRevision = 0;
    QString m_status;
    bool m_inputMonitoringDenied = false;
    bool m_running = false;
    bool m_starting = false;
    int m_startGeneration = 0;
    bool m_fallbackContact = false;
};
