#include "SystemctlServiceControl.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QVariant>
#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {

QStringList arguments(ServiceControl::Command command, const QString& unit) {
    switch (command) {
    case ServiceControl::Command::isActive:
        return {QStringLiteral("--user"), QStringLiteral("is-active"), QStringLiteral("--quiet"),
                unit};
    case ServiceControl::Command::stop:
        return {QStringLiteral("--user"), QStringLiteral("stop"), unit};
    case ServiceControl::Command::start:
        return {QStringLiteral("--user"), QStringLiteral("start"), unit};
    }
    return {};
}

} // namespace

SystemctlServiceControl::SystemctlServiceControl(std::chrono::milliseconds timeLimit,
                                                 QObject* parent)
    : QObject(parent), m_timeLimit(timeLimit) {}

SystemctlServiceControl::~SystemctlServiceControl() {
    for (Running& running : m_running) {
        if (running.process) {
            running.process->disconnect(this);
            killGroup(running.process);
            running.process->waitForFinished(200);
            delete running.process;
        }
    }
}

void SystemctlServiceControl::run(Command command, const QString& unit, Done done) {
    Running& running = m_running.emplace_back(Running{nullptr, nullptr, std::move(done)});
    const QString program = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
    if (program.isEmpty()) {
        // Answered from the event loop, as a command that ran would be.
        QTimer::singleShot(0, this, [this] {
            for (auto it = m_running.begin(); it != m_running.end(); ++it) {
                if (!it->process) {
                    Done done = std::move(it->done);
                    m_running.erase(it);
                    done(failedToRun);
                    return;
                }
            }
        });
        return;
    }
    auto* process = new QProcess(this);
    running.process = process;
    process->setProgram(program);
    process->setArguments(arguments(command, unit));
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // A group of its own, so that ending it at the time limit ends whatever it started.
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(process, &QProcess::finished, this,
            [this, process](int code, QProcess::ExitStatus status) {
                finish(process, status == QProcess::NormalExit ? code : endedStatus(process));
            });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(process, failedToRun);
    });
    running.limit = new QTimer(process);
    running.limit->setSingleShot(true);
    connect(running.limit, &QTimer::timeout, this, [process] { stopAtLimit(process); });
    running.limit->start(m_timeLimit);
    process->start();
}

void SystemctlServiceControl::finish(QProcess* process, int status) {
    for (auto it = m_running.begin(); it != m_running.end(); ++it) {
        if (it->process != process)
            continue;
        Done done = std::move(it->done);
        m_running.erase(it);
        process->disconnect(this);
        process->deleteLater();
        done(status);
        return;
    }
}

void SystemctlServiceControl::waitForIdle(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!m_running.empty() && !deadline.hasExpired()) {
        Running& first = m_running.front();
        if (!first.process) {
            Done done = std::move(first.done);
            m_running.pop_front();
            done(failedToRun);
            continue;
        }
        end(first, deadline);
    }
}

// Waits for one command within its own time limit and the caller's; its answer runs from here.
void SystemctlServiceControl::end(Running& running, const QDeadlineTimer& deadline) {
    QProcess* process = running.process;
    if (process->state() == QProcess::NotRunning) {
        const bool ran = process->error() != QProcess::FailedToStart &&
                         process->exitStatus() == QProcess::NormalExit;
        finish(process, ran ? process->exitCode() : endedStatus(process));
        return;
    }
    const int limit = running.limit->isActive() ? running.limit->remainingTime() : 0;
    const int left = int(std::min<qint64>(limit, deadline.remainingTime()));
    if (!process->waitForFinished(std::max(left, 1))) {
        stopAtLimit(process);
        if (!process->waitForFinished(500))
            finish(process, timedOut);
    }
}

// A command ended at its time limit may have done its work or not: its status says so.
void SystemctlServiceControl::stopAtLimit(QProcess* process) {
    process->setProperty("timedOut", true);
    killGroup(process);
}

int SystemctlServiceControl::endedStatus(const QProcess* process) {
    return process->property("timedOut").toBool() ? timedOut : failedToRun;
}

void SystemctlServiceControl::killGroup(QProcess* process) {
    if (const qint64 pid = process->processId(); pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process->kill();
}
