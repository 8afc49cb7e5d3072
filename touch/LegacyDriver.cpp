#include "LegacyDriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

LegacyDriver::LegacyDriver(ServiceControl& services, QString unit, QString markerPath, Log log)
    : m_services(services), m_unit(std::move(unit)), m_marker(std::move(markerPath)),
      m_log(std::move(log)) {}

void LegacyDriver::pause(std::function<void()> then) {
    enqueue([this, then](std::function<void()> done) {
        if (!m_paused)
            m_paused = QFileInfo::exists(m_marker);
        m_services.run(ServiceControl::Command::isActive, m_unit, [=, this](int active) {
            if (active != 0) {
                then();
                done();
                return;
            }
            m_services.run(ServiceControl::Command::stop, m_unit, [=, this](int stopped) {
                // A stop that ran past its time limit may well have stopped the driver: the
                // pause is owed a restore all the same (which finds the driver running if not).
                m_paused = stopped == 0 || stopped == ServiceControl::timedOut;
                if (m_paused) {
                    writeMarker();
                    m_log(stopped == 0
                                  ? QStringLiteral("Paused the legacy mouse driver for exclusive "
                                                   "touch access.")
                                  : QStringLiteral("Stopping the legacy mouse driver took too "
                                                   "long; it is started again with mouse mode."));
                }
                then();
                done();
            });
        });
    });
}

void LegacyDriver::restore() {
    enqueue([this](std::function<void()> done) {
        if (!m_paused) {
            done();
            return;
        }
        m_services.run(ServiceControl::Command::isActive, m_unit, [=, this](int active) {
            if (active == 0) {
                restored();
                done();
                return;
            }
            m_services.run(ServiceControl::Command::start, m_unit, [=, this](int started) {
                if (started == 0)
                    restored();
                done();
            });
        });
    });
}

void LegacyDriver::restoreLeftOver() {
    if (!QFileInfo::exists(m_marker))
        return;
    m_paused = true;
    restore();
}

void LegacyDriver::finish(int milliseconds) {
    m_services.waitForIdle(milliseconds);
}

void LegacyDriver::enqueue(Step step) {
    m_steps.push_back(std::move(step));
    if (!m_busy)
        runNext();
}

void LegacyDriver::runNext() {
    if (m_steps.empty()) {
        m_busy = false;
        return;
    }
    m_busy = true;
    Step step = std::move(m_steps.front());
    m_steps.pop_front();
    step([this] { runNext(); });
}

void LegacyDriver::restored() {
    m_paused = false;
    QFile::remove(m_marker);
    m_log(QStringLiteral("Restored the legacy mouse driver."));
}

void LegacyDriver::writeMarker() {
    if (m_marker.isEmpty())
        return;
    QDir().mkpath(QFileInfo(m_marker).absolutePath());
    QSaveFile marker(m_marker);
    if (marker.open(QIODevice::WriteOnly))
        marker.commit();
}
