#pragma once

#include "touch/ServiceControl.h"

#include <QString>
#include <deque>
#include <functional>

// The touchscreen's separately installed mouse driver, a user service that turns touches into
// pointer events: paused while direct touch owns the device and restored afterwards. A marker
// file remembers a pause, so a run that ended without restoring is made good by the next one.
// Pauses and restores run one after another, in the order they were asked for.
class LegacyDriver {
public:
    using Log = std::function<void(const QString&)>;

    LegacyDriver(ServiceControl& services, QString unit, QString markerPath, Log log);

    // This program paused the driver and owes a restore.
    bool paused() const { return m_paused; }
    bool busy() const { return m_busy; }
    // Stops the driver if it runs; `then` runs once that is settled, whatever the outcome.
    void pause(std::function<void()> then);
    // Starts the driver again if this program (or an earlier run) paused it. A failed start keeps
    // the marker, so a later restore tries again.
    void restore();
    // Restores a pause an earlier run left behind (its marker), if any.
    void restoreLeftOver();
    // Waits for what is queued, at most this long: at exit.
    void finish(int milliseconds);

private:
    using Step = std::function<void(std::function<void()> done)>;
    void enqueue(Step step);
    void runNext();
    void restored();
    void writeMarker();

    ServiceControl& m_services;
    QString m_unit;
    QString m_marker;
    Log m_log;
    bool m_paused = false;
    bool m_busy = false;
    std::deque<Step> m_steps;
};
