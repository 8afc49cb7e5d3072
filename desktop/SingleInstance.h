#pragma once

#include "desktop/CommandLine.h"
#include "desktop/InstanceLock.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// How a second start reaches the dashboard that runs on its data folder.
class InstanceChannel {
public:
    struct Reply {
        enum class Status {
            done,        // the dashboard carried the command out
            refused,     // the dashboard answered with a message
            unreachable, // nothing to talk to: no session bus, or it failed
            absent,      // the bus works but nobody owns the name (yet)
            noAnswer,    // someone owns the name but did not answer in time
        };
        Status status = Status::done;
        QString message; // refused: the dashboard's message; unreachable: why
    };

    // How long a second start waits for the running dashboard in all.
    static constexpr int timeLimitMs = 5000;

    virtual ~InstanceChannel() = default;
    virtual Reply send(const QStringList& arguments) = 0;
};

// The data folder's lock as a start found it.
struct LockReading {
    InstanceLock::State state = InstanceLock::State::free;
    qint64 owner = 0; // heldElsewhere: the process that holds it, 0 when it can't be told
    QString failure;  // foreign, unavailable: why
};

// What a start does, given the data folder's lock and, when another program holds it, that
// program's answer to this start's command line.
struct StartOutcome {
    bool run = false; // this process becomes the dashboard
    int exitCode = 0;
    QString message; // one line for the terminal (standard error when exitCode is not 0)
};

// `handOver` sends this start's command line to the lock's owner. When the owner is not on the
// bus, a start that would run the dashboard asks `lockAgain` for the lock, until that answers
// nothing (the time limit is over): the owner may be a dashboard still starting, or a program
// that held the lock only for a moment.
StartOutcome decideStart(const CommandLine& command, LockReading lock,
                         const std::function<InstanceChannel::Reply()>& handOver,
                         const std::function<std::optional<LockReading>()>& lockAgain);
