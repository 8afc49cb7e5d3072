#include "WebWidget.h"

#include "model/JsonCoding.h"
#include "model/ThemeColors.h"
#include "store/TarnStore.h"
#include "widgets/WidgetBridge.h"
#include "widgets/web/WidgetChannelEndpoint.h"
#include "widgets/web/WidgetFailurePanel.h"
#include "widgets/web/WidgetPage.h"
#include "widgets/web/WidgetRequestFence.h"
#include "widgets/web/WidgetSchemeHandler.h"
#include "widgets/web/WidgetScript.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <csignal>

namespace {

const QString stoppedMessage = QStringLiteral("The widget stopped. Reload it to continue.");
// Failed requests remembered for the failure panel of the main document.
constexpr int failuresKept = 16;

QUrl entryURL(const WidgetManifest& manifest) {
    QUrl url;
    url.setScheme(QLatin1String(WidgetSchemeHandler::scheme));
    url.setHost(QLatin1String(WidgetResources::host));
    url.setPath(QLatin1Char('/') + manifest.entry);
    return url;
}

QWebEngineScript script(const QString& name, const QString& source,
                        QWebEngineScript::ScriptWorldId world, bool subFrames) {
    QWebEngineScript script;
    script.setName(name);
    script.setSourceCode(source);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(world);
    script.setRunsOnSubFrames(subFrames);
    return script;
}

void quietSettings(QWebEngineSettings* settings) {
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    settings->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
}

} // namespace

WebWidget::WebWidget(WidgetPackage package, TarnStore& store, std::optional<QString> instanceID,
                     QWidget* parent)
    : QWidget(parent), m_package(std::move(package)), m_store(store),
      m_instanceID(std::move(instanceID)),
      m_instanceKey(WidgetBridge::instanceKey(m_package.manifest, m_instanceID)),
      m_log(m_store.directory(), m_instanceKey), m_feed(m_package.manifest, m_store, m_instanceID) {
    m_publishSoon.setSingleShot(true);
    m_publishSoon.setInterval(0);
    connect(&m_publishSoon, &QTimer::timeout, this, &WebWidget::publish);
    for (auto signal :
         {&TarnStore::nowChanged, &TarnStore::preferencesChanged, &TarnStore::focusChanged,
          &TarnStore::focusCopiesChanged, &TarnStore::machineChanged, &TarnStore::changed})
        connect(&m_store, signal, this, &WebWidget::schedulePublish);
    connect(&m_store, &TarnStore::watchedChanged, this, &WebWidget::followSeen);
    connect(&m_store, &TarnStore::nowChanged, this, &WebWidget::watchRenderer);
    // At the end of the run the engine ends every page's process before the widgets go: that is
    // no page ending by itself.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                [this] { m_tearingDown = true; });
    m_budgetClock.start();

    createPage();

    m_panel = new WidgetFailurePanel(m_package.manifest.name, this);
    m_panel->hide();
    connect(m_panel->reloadButton(), &QPushButton::clicked, this, &WebWidget::reload);
}

WebWidget::~WebWidget() {
    // Pages go before their profile; the view must not outlive its page either.
    m_tearingDown = true;
    m_store.tasks().cancel(m_recovery);
    m_store.tasks().cancel(m_settling);
    m_page->triggerAction(QWebEnginePage::Stop);
    delete m_view;
    m_page.reset();
    m_profile.reset();
}

void WebWidget::createPage() {
    // No name: off the record, so no cookies, storage or cache outlive this widget.
    m_profile = std::make_unique<QWebEngineProfile>();
    m_resources = new WidgetSchemeHandler(
            WidgetResources(m_package, m_store.widgets().sdkDirectory(),
                            [&store = m_store](const QString& name) {
                                return store.services().spotify().artwork(name);
                            }),
            m_profile.get());
    m_profile->installUrlSchemeHandler(WidgetSchemeHandler::scheme, m_resources);
    connect(m_resources, &WidgetSchemeHandler::requestFailed, this,
            [this](const QUrl& url, const QString& message) {
                // Kept for the failure panel of a main document; a page that asks for missing
                // files without end must not make this grow.
                if (m_failedRequests.size() < failuresKept)
                    m_failedRequests[url] = message;
                writeLog(QStringLiteral("%1: failed to load: %2").arg(url.path().mid(1), message),
                         LineKind::failedLoad);
            });

    m_fence = new WidgetRequestFence(m_package.manifest, m_profile.get());
    m_profile->setUrlRequestInterceptor(m_fence);
    connect(m_fence, &WidgetRequestFence::blocked, this, &WebWidget::logBlockedRequest);
    connect(m_fence, &WidgetRequestFence::exceeded, this, [this] { stopPage(Stop::requests); });
    quietSettings(m_profile->settings());

    m_page = std::make_unique<WidgetPage>(m_profile.get());
    installScripts();
    connect(m_page.get(), &WidgetPage::consoleMessage, this,
            [this](QWebEnginePage::JavaScriptConsoleMessageLevel level, const QString& message,
                   int line, const QString& source) { logConsole(level, message, line, source); });
    // The tile's own colour rather than transparency: a translucent web view is not composited
    // over the widgets behind it, and the tile under a page is always this colour.
    m_page->setBackgroundColor(ThemeColors::surface.to<QColor>());
    m_channel = new QWebChannel(m_page.get());
    m_endpoint = new WidgetChannelEndpoint([this](const QString& text) { receive(text); },
                                           [this] { stopPage(Stop::messages); }, m_channel);
    m_channel->registerObject(QStringLiteral("tarn"), m_endpoint);
    m_page->setWebChannel(m_channel, QWebEngineScript::ApplicationWorld);

    connect(m_page.get(), &QWebEnginePage::loadStarted, this, [this] {
        m_settled = false;
        m_ready = false;
        m_feed.forget();
        m_failedRequests.clear();
    });
    connect(m_page.get(), &QWebEnginePage::loadingChanged, this, &WebWidget::loadingChanged);
    // Some documents (about:blank) replace the page without asking the navigation policy:
    // such a page goes back to its package.
    connect(m_page.get(), &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        if (!url.isEmpty() && !WidgetPage::allowsNavigation(url, true))
            m_page->load(entryURL(m_package.manifest));
    });
    connect(m_page.get(), &WidgetPage::navigationRefused, this,
            [this](const QUrl& url) { m_refusedNavigation = url; });
    connect(m_page.get(), &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                processEnded(status);
            });

    m_view = new QWebEngineView(this);
    m_view->installEventFilter(this);
    m_view->setPage(m_page.get());
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_view->setGeometry(rect());
    m_page->load(entryURL(m_package.manifest));
    // The view makes its page visible, and so active, whenever it is shown.
    connect(m_page.get(), &QWebEnginePage::visibleChanged, this, [this](bool visible) {
        if (visible && !isSeen())
            QMetaObject::invokeMethod(this, &WebWidget::followSeen, Qt::QueuedConnection);
    });
    // A page nobody sees loads and connects all the same, so that it is ready when it is shown;
    // then it rests. A page that never says it is ready rests a moment after its load.
    connect(m_page.get(), &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok) {
            runLater(&WebWidget::m_settling, settleDelay, &WebWidget::settle);
        } else {
            cancelLater(&WebWidget::m_settling);
            settle();
        }
    });
    if (!isSeen())
        followSeen();
}

void WebWidget::settle() {
    if (m_settled)
        return;
    m_settled = true;
    if (!isSeen())
        followSeen();
}

bool WebWidget::isSeen() const {
    return m_shown && m_store.watched();
}

void WebWidget::setShown(bool shown) {
    if (shown == m_shown)
        return;
    m_shown = shown;
    followSeen();
}

void WebWidget::followSeen() {
    // A page nobody can see (its page of the dashboard is not shown, or nobody looks at the
    // dashboard) is hidden and frozen: it neither draws nor runs its timers nor gets any state,
    // yet stays loaded, so it shows fresh state as soon as it is seen again.
    if (isSeen()) {
        m_page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
        m_page->setVisible(m_view->isVisible());
        publish();
    } else {
        m_publishSoon.stop();
        m_page->setVisible(false);
        if (m_settled)
            m_page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
    }
}

void WebWidget::installScripts() {
    // The lockdown first: it takes the engine's collector along before the SDK hides it.
    const QString sdk = WidgetScript::pageSource(m_store.widgets().sdkDirectory());
    m_page->scripts().insert(script(QStringLiteral("tarn-lockdown"), WidgetScript::lockdownSource(),
                                    QWebEngineScript::MainWorld, true));
    m_page->scripts().insert(
            script(QStringLiteral("tarn"), sdk, QWebEngineScript::MainWorld, false));
    m_page->scripts().insert(script(QStringLiteral("tarn-relay"), WidgetScript::relaySource(),
                                    QWebEngineScript::ApplicationWorld, false));
}

void WebWidget::loadingChanged(const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    const QUrl url = info.url();
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
        m_ready = true;
        publish();
        return;
    }
    if (!m_refusedNavigation.isEmpty() && url == m_refusedNavigation) {
        // The page asked to leave and stays where it was: it still wants its state.
        m_refusedNavigation.clear();
        m_ready = true;
        m_feed.forget();
        publish();
        return;
    }
    // A page whose process ended also reports its load as failed, without a reason: the panel
    // keeps saying that it stopped.
    const QString reason = m_failedRequests.value(url, info.errorString());
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && !reason.isEmpty() && !m_failure)
        setFailure(reason);
}

void WebWidget::setFailure(const std::optional<QString>& failure) {
    if (failure == m_failure)
        return;
    m_failure = failure;
    if (m_failure) {
        m_panel->setMessage(*m_failure);
        m_panel->setGeometry(rect());
        m_panel->show();
        m_panel->raise();
    } else {
        m_panel->hide();
    }
    emit failureChanged();
}

void WebWidget::reload() {
    cancelLater(&WebWidget::m_recovery);
    setFailure(std::nullopt);
    m_stopReason.reset();
    m_failedRequests.clear();
    m_messageBudget.reset();
    m_characterBudget.reset();
    m_fence->resetBudget();
    if (!m_page->webChannel())
        m_page->setWebChannel(m_channel, QWebEngineScript::ApplicationWorld);
    m_page->triggerAction(QWebEnginePage::Reload);
}

bool WebWidget::withinBudget(qint64 characters) {
    // The relay keeps the page to its budget before anything is sent; this holds should anything
    // else reach the channel. What goes beyond it is ignored for the rest of the second.
    const qint64 now = m_budgetClock.elapsed();
    const auto messages = m_messageBudget.spend(1, now);
    const auto text =
            m_characterBudget.spend(qMin<qint64>(characters, WidgetScript::messageLimit + 1), now);
    if (messages == RateBudget::Verdict::runaway || text == RateBudget::Verdict::runaway) {
        stopPage(Stop::messages);
        return false;
    }
    return messages == RateBudget::Verdict::within && text == RateBudget::Verdict::within;
}

QString WebWidget::stopMessage(Stop reason) {
    switch (reason) {
    case Stop::messages:
        return QStringLiteral("This widget sent too many messages");
    case Stop::requests:
        return QStringLiteral("This widget made too many requests");
    case Stop::memory:
        return QStringLiteral("This widget used too much memory");
    case Stop::processor:
        return QStringLiteral("This widget used too much processor time");
    }
    return stoppedMessage;
}

void WebWidget::stopPage(Stop reason) {
    if (m_stopReason)
        return;
    m_stopReason = stopMessage(reason);
    writeLog(QStringLiteral("stopped by the dashboard: %1").arg(*m_stopReason), LineKind::stopped);
    // Without its channel the page's messages are dropped unread. Its process is ended; the
    // panel comes when the engine reports that, so "Reload widget" never races the ending.
    m_page->setWebChannel(nullptr);
    m_ready = false;
    if (const qint64 process = m_page->renderProcessPid(); process > 0)
        ::kill(pid_t(process), SIGKILL);
    else
        setFailure(m_stopReason);
}

void WebWidget::processEnded(QWebEnginePage::RenderProcessTerminationStatus status) {
    if (m_tearingDown)
        return;
    m_ready = false;
    // A page the dashboard stopped comes back only when the user asks.
    if (m_stopReason) {
        setFailure(m_stopReason);
        return;
    }
    setFailure(stoppedMessage);
    const QString how =
            status == QWebEnginePage::KilledTerminationStatus    ? QStringLiteral("was killed")
            : status == QWebEnginePage::CrashedTerminationStatus ? QStringLiteral("crashed")
                                                                 : QStringLiteral("ended");
    // Nobody may be there to press "Reload widget" (the kernel ends the largest process when
    // memory runs out): the page loads again by itself, once, so a page that cannot live
    // never loops.
    const double now = m_store.clock().uptime();
    if (m_recoveredAt && now - *m_recoveredAt < recoveryWindow) {
        writeLog(QStringLiteral("the page's process %1 again within a minute: the widget stays "
                                "stopped until it is reloaded")
                         .arg(how),
                 LineKind::stopped);
        return;
    }
    m_recoveredAt = now;
    writeLog(QStringLiteral("the page's process %1: the page loads again in %2 s")
                     .arg(how)
                     .arg(recoveryDelay),
             LineKind::stopped);
    runLater(&WebWidget::m_recovery, recoveryDelay, &WebWidget::reload);
}

void WebWidget::runLater(DelayedTasks::Handle WebWidget::*task, double seconds,
                         void (WebWidget::*step)()) {
    m_store.tasks().cancel(this->*task);
    const QPointer<WebWidget> self(this);
    this->*task = m_store.tasks().schedule(seconds, [self, task, step] {
        if (!self)
            return;
        self->*task = 0;
        (self.data()->*step)();
    });
}

void WebWidget::cancelLater(DelayedTasks::Handle WebWidget::*task) {
    m_store.tasks().cancel(this->*task);
    this->*task = 0;
}

void WebWidget::setRendererLimits(const RendererLimits& limits) {
    m_watch = RendererWatch(limits);
}

void WebWidget::watchRenderer() {
    const qint64 process = m_page->renderProcessPid();
    if (process <= 0 || m_stopReason)
        return;
    if (process != m_watchedProcess) {
        m_watch.forget();
        m_watchedProcess = process;
    }
    const std::optional<RendererSample> sample = m_usage->read(process);
    if (!sample)
        return;
    if (const auto excess = m_watch.add(*sample))
        stopPage(*excess == RendererWatch::Excess::memory ? Stop::memory : Stop::processor);
}

void WebWidget::receive(const QString& text) {
    // The relay drops longer messages already; this holds should anything else reach the channel.
    if (!withinBudget(text.size()) || text.size() > WidgetScript::messageLimit)
        return;
    if (m_page->url().scheme() != QLatin1String(WidgetSchemeHandler::scheme))
        return;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (document.isObject())
        handle(document.object());
}

void WebWidget::handle(const QJsonObject& message) {
    const QJsonValue type = message.value(QStringLiteral("type"));
    if (type == QStringLiteral("ready")) {
        m_ready = true;
        m_feed.forget();
        settle();
        publish();
    } else if (type == QStringLiteral("controls")) {
        if (auto controls = WidgetControls::fromItems(message.value(QStringLiteral("items")))) {
            if (*controls != m_controls) {
                m_controls = std::move(*controls);
                TouchControls::regionsChanged(this);
                emit controlsChanged();
            }
        }
    } else if (type == QStringLiteral("command")) {
        const QPointer<WebWidget> self(this);
        if (!isSeen()) {
            // Sent just before its page went out of sight: a widget nobody sees does nothing.
            WidgetBridge::refuseCommand(message, QStringLiteral("The widget is not shown"),
                                        [self](const QJsonObject& reply) {
                                            self->call("_reply",
                                                       Json::fastCompact(QJsonArray{reply}));
                                        });
            return;
        }
        const QString method = message.value(QStringLiteral("method")).toString();
        const auto takeGesture = [self] {
            return self && self->m_gesture.take(self->m_store.clock().uptime());
        };
        WidgetBridge::handleCommand(
                message, m_package.manifest, m_store, m_instanceID, takeGesture,
                [self, method](const QJsonObject& reply) {
                    // The widget may be gone by the time a slow command
                    // finishes.
                    if (!self)
                        return;
                    if (reply.value(QStringLiteral("ok")) == false)
                        self->logFailedCommand(method,
                                               reply.value(QStringLiteral("error")).toString());
                    self->call("_reply", Json::fastCompact(QJsonArray{reply}));
                    self->publish();
                });
    }
}

void WebWidget::writeLog(const QString& line, LineKind kind) {
    m_log.write(line);
    emit logged(line, kind);
}

void WebWidget::logConsole(int level, const QString& message, int line, const QString& source) {
    const auto logLevel = level == QWebEnginePage::ErrorMessageLevel     ? WidgetLog::Level::error
                          : level == QWebEnginePage::WarningMessageLevel ? WidgetLog::Level::warning
                                                                         : WidgetLog::Level::info;
    // How the engine words an exception that no script caught, promises' included.
    const bool uncaught =
            logLevel == WidgetLog::Level::error && message.startsWith(QStringLiteral("Uncaught"));
    writeLog(WidgetLog::consoleLine(logLevel, message, line, source),
             uncaught ? LineKind::uncaughtError : LineKind::console);
}

void WebWidget::logFailedCommand(const QString& method, const QString& error) {
    // The page gets the fixed message; its author learns here what was missing.
    const auto permission = WidgetBridge::permissionFor(method);
    QString line = QStringLiteral("command \"%1\" failed: %2").arg(method, error);
    if (!permission)
        line += QStringLiteral(" (there is no such command)");
    else if (!m_package.manifest.declares(*permission))
        line += QStringLiteral(" (the manifest does not declare the permission \"%1\")")
                        .arg(*permission);
    writeLog(line, LineKind::refusedCommand);
}

void WebWidget::schedulePublish() {
    if (m_ready && isSeen() && !m_publishSoon.isActive())
        m_publishSoon.start();
}

void WebWidget::publish() {
    if (!m_ready || !m_page || !isSeen())
        return;
    const std::optional<QByteArray> json = m_feed.next(m_onTouchscreen);
    if (!json)
        return;
    // The snapshot is already JSON text: wrapping it in brackets makes the argument list.
    call("_update", '[' + *json + ']');
    emit snapshotSent(*json);
}

void WebWidget::setFixedState(const QJsonObject& state) {
    m_feed.fix(state);
    publish();
}

void WebWidget::call(const char* function, const QByteArray& arguments) {
    // Errors are the page's own (it may have replaced Tarn); there is no result to wait for.
    emit m_endpoint->dispatch(QLatin1String(function), QString::fromUtf8(arguments));
}

void WebWidget::setZoom(double zoom) {
    if (zoom <= 0 || qFuzzyCompare(zoom, m_zoom))
        return;
    m_zoom = zoom;
    m_page->setZoomFactor(qBound(0.25, zoom, 5.0));
    m_panel->setZoom(zoom);
    TouchControls::regionsChanged(this);
}

void WebWidget::setOnTouchscreen(bool onTouchscreen) {
    if (onTouchscreen == m_onTouchscreen)
        return;
    m_onTouchscreen = onTouchscreen;
    schedulePublish();
}

QList<TouchRegion> WebWidget::touchRegions() const {
    QList<TouchRegion> regions;
    const QPointer<WebWidget> self(const_cast<WebWidget*>(this));
    for (const WidgetControl& control : m_controls) {
        const QRectF& page = control.frame;
        regions.append({WidgetControls::regionID(m_instanceKey, control.id),
                        QRectF(page.x() * m_zoom, page.y() * m_zoom, page.width() * m_zoom,
                               page.height() * m_zoom),
                        control.enabled, std::nullopt, [self, id = control.id] {
                            if (self)
                                self->activate(id);
                        }});
    }
    return regions;
}

void WebWidget::recordGesture() {
    m_gesture.record(m_store.clock().uptime());
}

bool WebWidget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ChildAdded:
        // The engine draws into a child of the view that it makes when it likes.
        if (QObject* child = static_cast<QChildEvent*>(event)->child(); child->isWidgetType())
            child->installEventFilter(this);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::TouchBegin:
        recordGesture();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void WebWidget::logBlockedRequest(const QString& origin) {
    writeLog(QStringLiteral("blocked a request to %1").arg(origin), LineKind::blockedRequest);
    emit requestBlocked(origin);
}

void WebWidget::activate(qint64 controlID) {
    recordGesture();
    call("_activate", Json::fastCompact(QJsonArray{controlID}));
}

void WebWidget::scroll(const QPointF& point, double delta) {
    call("_scroll",
         Json::fastCompact(QJsonArray{point.x() / m_zoom, point.y() / m_zoom, delta / m_zoom}));
}

void WebWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_view->setGeometry(rect());
    m_panel->setGeometry(rect());
}
