#include "SingleInstance.h"

namespace {

StartOutcome exitWith(int code, const QString& message = {}) {
    return {false, code, message};
}

QString runningProcess(qint64 owner) {
    return owner > 0 ? QStringLiteral("Tablora is already running (process %1)").arg(owner)
                     : QStringLiteral("Tablora is already running");
}

} // namespace

StartOutcome decideStart(const CommandLine& command, InstanceLock::State lock, qint64 owner,
                         const QString& lockFailure,
                         const std::function<InstanceChannel::Reply()>& handOver) {
    using Status = InstanceChannel::Reply::Status;
    const bool plainStart = command.action == CommandLine::Action::start;
    switch (lock) {
    case InstanceLock::State::held:
    case InstanceLock::State::unavailable:
        if (command.needsRunningDashboard())
            return exitWith(1, QStringLiteral("Tablora is not running"));
        return {true, 0, {}};
    case InstanceLock::State::foreign:
        return exitWith(1, QStringLiteral("Tablora can’t start: %1").arg(lockFailure));
    case InstanceLock::State::heldElsewhere:
        break;
    }

    const InstanceChannel::Reply reply = handOver();
    switch (reply.status) {
    case Status::done:
        return exitWith(0, plainStart ? runningProcess(owner) : QString());
    case Status::refused:
        return exitWith(1, reply.message);
    case Status::unreachable:
        // The lock alone keeps a second dashboard out; only a command is lost.
        if (plainStart)
            return exitWith(0, runningProcess(owner));
        return exitWith(1, QStringLiteral("%1 but can’t be reached: %2")
                                   .arg(runningProcess(owner), reply.message));
    case Status::noAnswer:
        break;
    }
    return exitWith(1, QStringLiteral("%1 but didn’t answer within %2 seconds")
                               .arg(runningProcess(owner))
                               .arg(InstanceChannel::timeLimitMs / 1000));
}
