#pragma once

#include "app/CommandLine.h"
#include "app/InstanceLock.h"

#include <QString>
#include <QStringList>
#include <functional>

// How a second start reaches the dashboard that runs on its data folder.
class InstanceChannel {
public:
    struct Reply {
        enum class Status {
            done,        // the dashboard carried the command out
            refused,     // the dashboard answered with a message
            unreachable, // nothing to talk to (no session bus, nobody owns the name)
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

// What a start does, given the data folder's lock and, when another program holds it, that
// program's answer to this start's command line.
struct StartOutcome {
    bool run = false; // this process becomes the dashboard
    int exitCode = 0;
    QString message; // one line for the terminal (standard error when exitCode is not 0)
};

StartOutcome decideStart(const CommandLine& command, InstanceLock::State lock, qint64 owner,
                         const QString& lockFailure,
                         const std::function<InstanceChannel::Reply()>& handOver);
