#pragma once

#include "packages/WidgetControls.h"
#include "packages/WidgetLog.h"
#include "packages/WidgetPackage.h"
#include "touch/DelayedTasks.h"
#include "touch/views/TouchControls.h"
#include "widgets/SnapshotFeed.h"
#include "widgets/UserGesture.h"
#include "widgets/web/PageBudget.h"
#include "widgets/web/RendererWatch.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWidget>
#include <memory>
#include <optional>

class QWebChannel;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;
class TarnStore;
class WidgetChannelEndpoint;
class WidgetFailurePanel;
class WidgetPage;
class WidgetRequestFence;
class WidgetSchemeHandler;

// One placed widget: its page in a web view of its own (own profile, nothing kept), the bridge
// to the store, the controls the page reported (its touch regions), and a panel when the page
// cannot be shown.
class WebWidget : public QWidget, public TouchRegionSource, public TouchScrollTarget {
    Q_OBJECT

public:
    // A page that loaded but never said it is ready rests this long after its load, in seconds.
    static constexpr double settleDelay = 3.0;
    // A page whose process ended by itself loads again this long after, once: ending again
    // within the window leaves it on its failure panel.
    static constexpr double recoveryDelay = 2.0;
    static constexpr double recoveryWindow = 60.0;
    WebWidget(WidgetPackage package, TarnStore& store, std::optional<QString> instanceID,
              QWidget* parent = nullptr);
    ~WebWidget() override;

    const WidgetPackage& package() const { return m_package; }
    QString instanceKey() const { return m_instanceKey; }
    const QList<WidgetControl>& controls() const { return m_controls; }
    const std::optional<QString>& failure() const { return m_failure; }
    bool isReady() const { return m_ready; }
    WidgetPage* page() const { return m_page.get(); }
    // The widget's own log in the data folder, for its author.
    const WidgetLog& log() const { return m_log; }

    // Canvas points per page point, and whether the dashboard is on the touchscreen; both
    // decide what the page sees.
    void setZoom(double zoom);
    double zoom() const { return m_zoom; }
    void setOnTouchscreen(bool onTouchscreen);

    // One region per reported control, in this widget's coordinates; a tap activates it.
    QList<TouchRegion> touchRegions() const override;
    // A reported control was touched; the touch counts as the user's gesture in this widget.
    void activate(qint64 controlID);
    // Scrolls the page content under a point of this widget.
    void scroll(const QPointF& point, double delta) override;
    // The failure panel's button: load the page again.
    void reload();
    // Whether the page is to load again by itself shortly.
    bool isRecovering() const { return m_recovery != 0; }
    // Sends the page the current state unless it already has exactly that, or nobody can see it.
    void publish();
    // Whether the widget's page of the dashboard is the one shown; a widget is seen when it is
    // shown and somebody looks at the dashboard. One that is not seen rests: no state, no frames,
    // no commands (and, hidden, no touch regions).
    void setShown(bool shown);
    bool isSeen() const;
    // From now on the page gets this state instead of the store's (for tools that draw a widget
    // in a given state).
    void setFixedState(const QJsonObject& state);
    // What the page's process may use; judged at every heartbeat of the store.
    void setRendererLimits(const RendererLimits& limits);

    // Why the dashboard stopped a page, as its failure panel says.
    enum class Stop { messages, requests, memory, processor };
    static QString stopMessage(Stop reason);

    // What a line of the widget's log is about.
    enum class LineKind {
        console,
        uncaughtError,
        failedLoad,
        refusedCommand,
        blockedRequest,
        stopped
    };
    Q_ENUM(LineKind)

signals:
    // A line written to the widget's log, as it was written.
    void logged(const QString& line, WebWidget::LineKind kind);
    void controlsChanged();
    void failureChanged();
    void snapshotSent(const QByteArray& json);
    // The page tried to reach an origin it may not; once per origin.
    void requestBlocked(const QString& origin);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Presses on the page are the user's gestures in this widget.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createPage();
    void installScripts();
    void receive(const QString& text);
    void handle(const QJsonObject& message);
    void recordGesture();
    void logBlockedRequest(const QString& origin);
    bool withinBudget(qint64 characters);
    void stopPage(Stop reason);
    void processEnded(QWebEnginePage::RenderProcessTerminationStatus status);
    void watchRenderer();
    void setFailure(const std::optional<QString>& failure);
    void loadingChanged(const QWebEngineLoadingInfo& info);
    void schedulePublish();
    void followSeen();
    void settle();
    // Runs step after the delay on the store's tasks, in place of what task waited for; the
    // handle reads 0 again once the step ran or was cancelled.
    void runLater(DelayedTasks::Handle WebWidget::*task, double seconds, void (WebWidget::*step)());
    void cancelLater(DelayedTasks::Handle WebWidget::*task);
    void writeLog(const QString& line, LineKind kind);
    void logConsole(int level, const QString& message, int line, const QString& source);
    void logFailedCommand(const QString& method, const QString& error);
    // Calls one of the SDK's functions in the page; `arguments` is a JSON array's text.
    void call(const char* function, const QByteArray& arguments);

    WidgetPackage m_package;
    TarnStore& m_store;
    std::optional<QString> m_instanceID;
    QString m_instanceKey;
    std::unique_ptr<QWebEngineProfile> m_profile;
    std::unique_ptr<WidgetPage> m_page;
    QWebEngineView* m_view = nullptr;
    QWebChannel* m_channel = nullptr;
    WidgetChannelEndpoint* m_endpoint = nullptr;
    WidgetSchemeHandler* m_resources = nullptr;
    WidgetRequestFence* m_fence = nullptr;
    WidgetFailurePanel* m_panel = nullptr;
    WidgetLog m_log;

    bool m_ready = false;
    bool m_settled = false; // loaded and connected, or given up on
    bool m_shown = true;
    SnapshotFeed m_feed;
    QList<WidgetControl> m_controls;
    std::optional<QString> m_failure;
    QHash<QUrl, QString> m_failedRequests;
    QUrl m_refusedNavigation;
    double m_zoom = 1;
    bool m_onTouchscreen = false;
    bool m_tearingDown = false;
    QTimer m_publishSoon;
    QElapsedTimer m_budgetClock;
    RateBudget m_messageBudget{PageBudget::messagesPerSecond};
    RateBudget m_characterBudget{PageBudget::charactersPerSecond};
    std::optional<QString> m_stopReason;
    // Uptime of the last ending that was followed by a reload of its own, and that reload.
    std::optional<double> m_recoveredAt;
    DelayedTasks::Handle m_recovery = 0;
    DelayedTasks::Handle m_settling = 0;
    std::shared_ptr<RendererUsage> m_usage = RendererUsage::system();
    RendererWatch m_watch;
    qint64 m_watchedProcess = 0;
    UserGesture m_gesture;
};
