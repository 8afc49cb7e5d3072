#pragma once

#include <QString>
#include <functional>

// The user's service manager: asks whether a unit runs, stops and starts it. Commands run in the
// background; their answers come back on the main thread.
class ServiceControl {
public:
    enum class Command { isActive, stop, start };
    // The command's exit status: 0 for success (for isActive: the unit runs); `failedToRun` when
    // it could not run, `timedOut` when it ran past its time limit (its outcome is unknown).
    using Done = std::function<void(int status)>;
    static constexpr int failedToRun = -1;
    static constexpr int timedOut = -2;

    virtual ~ServiceControl() = default;
    virtual void run(Command command, const QString& unit, Done done) = 0;
    // Blocks until the commands under way, and the ones their answers start, have ended or the
    // time is up: for the last restore before the program ends.
    virtual void waitForIdle(int milliseconds) = 0;
};
