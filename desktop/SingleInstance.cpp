#include "SingleInstance.h"

namespace {

StartOutcome exitWith(int code, const QString& message = {}) {
    return {false, code, message};
}

QString runningProcess(qint64 owner) {
    return owner > 0 ? QStringLiteral("Tablora is already running (process %1)").arg(owner)
                     : QStringLiteral("Tablora is already running");
}

StartOutcome outcomeOfLock(const CommandLine& command, const LockReading& lock) {
    if (lock.state == InstanceLock::State::foreign)
        return exitWith(1, QStringLiteral("Tablora can’t start: %1").arg(lock.failure));
    if (command.needsRunningDashboard())
        return exitWith(1, QStringLiteral("Tablora is not running"));
    return {true, 0, {}};
}

StartOutcome outcomeOfReply(const CommandLine& command, qint64 owner,
                            const InstanceChannel::Reply& reply) {
    using Status = InstanceChannel::Reply::Status;
    const bool plainStart = command.action == CommandLine::Action::start;
    switch (reply.status) {
    case Status::done:
        return exitWith(0, plainStart
                                   ? QStringLiteral("Tablora is already running; showed its window")
                                   : QString());
    case Status::refused:
        return exitWith(1, reply.message);
    case Status::unreachable:
    case Status::absent:
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

} // namespace

StartOutcome decideStart(const CommandLine& command, LockReading lock,
                         const std::function<InstanceChannel::Reply()>& handOver,
                         const std::function<std::optional<LockReading>()>& lockAgain) {
    for (;;) {
        if (lock.state != InstanceLock::State::heldElsewhere)
            return outcomeOfLock(command, lock);
        const InstanceChannel::Reply reply = handOver();
        if (reply.status == InstanceChannel::Reply::Status::absent &&
            !command.needsRunningDashboard()) {
            if (std::optional<LockReading> again = lockAgain()) {
                lock = std::move(*again);
                continue;
            }
        }
        return outcomeOfReply(command, lock.owner, reply);
    }
}
