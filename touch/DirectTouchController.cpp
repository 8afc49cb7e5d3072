#include "DirectTouchController.h"

#include "model/linux/PlatformTexts.h"
#include "touch/ScreenMapping.h"

#include <QCoreApplication>
#include <QDir>

namespace {

// No touchscreen can be found: opening succeeds and nothing ever attaches.
class NoDevices : public HidDeviceSource {
public:
    int open(HidDeviceListener&) override { return 0; }
    void close() override {}
    Access access() const override { return Access::unknown; }
};

// No service manager: there is never a legacy driver to pause.
class NoServices : public ServiceControl {
public:
    void run(Command, const QString&, Done done) override { done(-1); }
    void waitForIdle(int) override {}
};

template <typename T, typename Default> std::unique_ptr<T> orDefault(std::unique_ptr<T> given) {
    if (given)
        return given;
    return std::make_unique<Default>();
}

// Nothing is written anywhere without a support folder.
QString supportFile(const QString& folder, const QString& name) {
    return folder.isEmpty() ? QString() : QDir(folder).filePath(name);
}

QString hex(int result) {
    return QString::asprintf("0x%08X", quint32(result));
}

} // namespace

DirectTouchController::DirectTouchController(Environment environment, QObject* parent)
    : QObject(parent), m_environment([&] {
          environment.devices =
                  orDefault<HidDeviceSource, NoDevices>(std::move(environment.devices));
          environment.services =
                  orDefault<ServiceControl, NoServices>(std::move(environment.services));
          if (!environment.tasks)
              environment.tasks = std::make_shared<TimerTasks>();
          return std::move(environment);
      }()),
      m_log(supportFile(m_environment.supportFolder, QStringLiteral("touch.log")),
            m_environment.clock),
      m_reader(std::move(m_environment.devices)),
      m_legacy(*m_environment.services, m_environment.legacyLabel,
               supportFile(m_environment.supportFolder, QStringLiteral("legacy-driver-paused")),
               [this](const QString& message) { log(message); }),
      m_contacts(*m_environment.windows, m_environment.host, *m_environment.tasks,
                 *m_environment.clock,
                 {[this](const std::optional<TouchFeedback>& feedback) {
                      m_feedback = feedback;
                      emit feedbackChanged();
                  },
                  [this] { emit pageIndicatorRevisionChanged(++m_pageIndicatorRevision); },
                  [this](const QString& message) { log(message); }}),
      m_status(QStringLiteral("Starting…")) {
    m_reader.onSample = [this](const TouchSample& sample) { receive(sample); };
    m_reader.onConnection = [this](bool connected) { connectionChanged(connected); };
    m_reader.onDeviceFailure = [this](const QString& device, int status) {
        log(QStringLiteral("Touch device %1 unavailable %2").arg(device, hex(status)));
    };
    // A run that ended without restoring the driver paused it for good, unless this run takes
    // it over: with direct touch off nobody would.
    if (m_environment.host.directTouchEnabled && !m_environment.host.directTouchEnabled())
        m_legacy.restoreLeftOver();
}

DirectTouchController::~DirectTouchController() {
    stop();
    m_legacy.finish(shutdownWait);
}

// ---- Modes

void DirectTouchController::start() {
    if (!m_environment.host.directTouchEnabled() || m_running || m_starting)
        return;
    m_starting = true;
    const int generation = ++m_startGeneration;
    const QPointer<DirectTouchController> self(this);
    m_legacy.pause([self, generation] {
        if (self)
            self->attemptStart(generation, 0);
    });
}

void DirectTouchController::stop() {
    m_starting = false;
    ++m_startGeneration;
    m_contacts.cancel();
    m_fallbackContact = false;
    m_reader.stop();
    setRunning(false);
    setInputMonitoringDenied(false);
    m_legacy.restore();
    setStatus(QStringLiteral("Standard mouse mode"));
}

void DirectTouchController::refreshMode() {
    if (!m_environment.host.directTouchEnabled()) {
        stop();
        return;
    }
    if (!m_running) {
        setStatus(QStringLiteral("Starting…"));
        start();
    }
}

void DirectTouchController::attemptStart(int generation, int attempt) {
    if (!m_starting || generation != m_startGeneration || !m_environment.host.directTouchEnabled())
        return;
    logPermissions();
    const int result = m_reader.start();
    if (HidDeviceSource::isExclusiveAccess(result) && attempt < startRetries) {
        // The paused driver may still hold the device for a moment.
        setStatus(QStringLiteral("Switching from mouse mode to direct touch…"));
        const QPointer<DirectTouchController> self(this);
        m_environment.tasks->schedule(retryDelay, [self, generation, attempt] {
            if (self)
                self->attemptStart(generation, attempt + 1);
        });
        return;
    }
    m_starting = false;
    // Readable hidraw nodes with evdev nodes that refuse the grab need the same permission.
    setInputMonitoringDenied(HidDeviceSource::isNotPermitted(result));
    if (result != 0) {
        openFailed(result);
        return;
    }
    setRunning(true);
    if (m_status != QStringLiteral("Direct touch connected"))
        setStatus(QStringLiteral("Waiting for the Edge’s USB connection"));
    log(QStringLiteral("Direct touch started. No desktop mouse events are posted."));
}

void DirectTouchController::openFailed(int result) {
    if (HidDeviceSource::isExclusiveAccess(result))
        setStatus(QStringLiteral("Another app is using the touchscreen"));
    else if (m_inputMonitoringDenied)
        setStatus(PlatformTexts::touchAccessDenied());
    else
        setStatus(QStringLiteral("Touch access unavailable (%1)").arg(hex(result)));
    log(QStringLiteral("Touch open failed %1: %2").arg(hex(result), m_status));
    m_legacy.restore();
}

void DirectTouchController::logPermissions() {
    log(QStringLiteral("Touch permissions: Input Monitoring=%1, Accessibility=true; app=%2, "
                       "bundle=unknown")
                .arg(int(m_reader.access()))
                .arg(QCoreApplication::instance() ? QCoreApplication::applicationFilePath()
                                                  : QString()));
}

void DirectTouchController::connectionChanged(bool connected) {
    m_contacts.cancel();
    setStatus(connected ? QStringLiteral("Direct touch connected")
                        : QStringLiteral("Waiting for the Edge’s USB connection"));
    log(m_status);
}

// ---- Samples and the mouse fallback

void DirectTouchController::receive(const TouchSample& sample) {
    if (sample.phase == TouchSample::Phase::began)
        emit touched();
    const auto touchscreen = findTouchscreen(*m_environment.screens);
    if (!touchscreen) {
        m_contacts.cancel();
        return;
    }
    m_contacts.receive(sample.phase, touchScreenPoint(sample.normalized, touchscreen->frame,
                                                      touchscreen->rotation));
}

bool DirectTouchController::routeFallbackMouse(MouseEvent event, QPointF screenPoint,
                                               bool synthetic) {
    if (synthetic || m_running || !m_environment.host.directTouchEnabled())
        return false;
    if (event == MouseEvent::down) {
        const auto touchscreen = findTouchscreen(*m_environment.screens);
        if (!touchscreen || !touchscreen->frame.contains(screenPoint))
            return false;
        const auto hit = m_contacts.surfaceAt(screenPoint);
        if (!hit || !m_contacts.surface(hit->surface)->isDashboard)
            return false;
        m_fallbackContact = true;
    }
    if (!m_fallbackContact)
        return false;
    const TouchSample::Phase phase = event == MouseEvent::down ? TouchSample::Phase::began
                                     : event == MouseEvent::up ? TouchSample::Phase::ended
                                                               : TouchSample::Phase::moved;
    if (event == MouseEvent::up)
        m_fallbackContact = false;
    m_contacts.receive(phase, screenPoint);
    return true;
}

// ---- Surfaces

void DirectTouchController::attachSurface(const QUuid& id, QObject* view, bool isDashboard) {
    m_contacts.attachSurface(id, view, isDashboard);
}

void DirectTouchController::updateRegions(const QUuid& id, QList<TouchRegion> regions) {
    m_contacts.updateRegions(id, std::move(regions));
}

void DirectTouchController::removeSurface(const QUuid& id) {
    m_contacts.removeSurface(id);
}

// ---- Published values

void DirectTouchController::setStatus(const QString& status) {
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(m_status);
}

void DirectTouchController::setRunning(bool running) {
    if (running == m_running)
        return;
    m_running = running;
    emit runningChanged(m_running);
}

void DirectTouchController::setInputMonitoringDenied(bool denied) {
    if (denied == m_inputMonitoringDenied)
        return;
    m_inputMonitoringDenied = denied;
    emit inputMonitoringDeniedChanged(m_inputMonitoringDenied);
}
