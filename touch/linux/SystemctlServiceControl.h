#pragma once

#include "touch/ServiceControl.h"

#include <QDeadlineTimer>
#include <QObject>
#include <chrono>
#include <list>

class QProcess;
class QTimer;

// The user's service manager through `systemctl --user`, found on PATH. Each command has a time
// limit: a manager that does not answer is given up on (status -1) and never holds up the
// dashboard. A unit that does not exist is simply not active.
class SystemctlServiceControl : public QObject, public ServiceControl {
    Q_OBJECT

public:
    explicit SystemctlServiceControl(std::chrono::milliseconds timeLimit = std::chrono::seconds(2),
                                     QObject* parent = nullptr);
    // Ends what still runs without answering.
    ~SystemctlServiceControl() override;

    void run(Command command, const QString& unit, Done done) override;
    void waitForIdle(int milliseconds) override;

private:
    struct Running {
        QProcess* process = nullptr; // none: the command could not start
        QTimer* limit = nullptr;
        Done done;
    };

    void finish(QProcess* process, int status);
    void end(Running& running, const QDeadlineTimer& deadline);
    static void killGroup(QProcess* process);
    static void stopAtLimit(QProcess* process);
    static int endedStatus(const QProcess* process);

    std::chrono::milliseconds m_timeLimit;
    std::list<Running> m_running;
};
