#pragma once

#include <QString>
#include <functional>

// The user's service manager: asks whether a unit runs, stops and starts it. Commands run in the
// background; their answers come back on the main thread.
class ServiceControl {
public:
    enum class Command { isActive, stop, start };
    // The command's exit status: 0 for success (for isActive: the unit runs); -1 when it could
    // not run or ran past its time limit.
    using Done = std::function<void(int status)>;

    virtual ~ServiceControl() = default;
    virtual void run(Command command, const QString& unit, Done done) = 0;
    // Blocks until the commands under way, and the ones their answers start, have ended or the
    // time is up: for the last restore before the program ends.
    virtual void waitForIdle(int milliseconds) = 0;
};
