#include "ServiceProcess.h"

#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// One child from launch to its single completion; deletes itself afterwards. It belongs to the
// receiver, so an owner that goes away takes its running children with it.
class ProcessRun : public QObject {
public:
    ProcessRun(QObject* receiver, ServiceProcess::Completion completion)
        : QObject(receiver), m_receiver(receiver), m_completion(std::move(completion)) {}

    ~ProcessRun() override {
        if (m_process.state() == QProcess::NotRunning) {
            endGroup(SIGKILL);
            return;
        }
        // Nobody waits for the answer any more: end the child and all it started now.
        QObject::disconnect(&m_process, nullptr, this, nullptr);
        endGroup(SIGKILL);
        m_process.waitForFinished(1000);
    }

    void start(const QString& executable, const QStringList& arguments, double timeoutSeconds) {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin:/usr/sbin:/sbin"));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        environment.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
        m_process.setProcessEnvironment(environment);
        m_process.setStandardInputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        // A child never outlives the dashboard, and leads a process group of its own, so that
        // what it starts in the background ends with it.
        m_process.setChildProcessModifier([] {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        });

        connect(&m_process, &QProcess::readyReadStandardOutput, this, &ProcessRun::readOutput);
        connect(&m_process, &QProcess::errorOccurred, this, &ProcessRun::handleError);
        connect(&m_process, &QProcess::finished, this, &ProcessRun::handleFinished);

        m_timeout.setSingleShot(true);
        m_timeout.setTimerType(Qt::PreciseTimer);
        connect(&m_timeout, &QTimer::timeout, this, &ProcessRun::requestTermination);
        m_kill.setSingleShot(true);
        connect(&m_kill, &QTimer::timeout, this, [this] { endGroup(SIGKILL); });

        m_process.start(executable, arguments, QIODevice::ReadOnly);
        m_group = pid_t(m_process.processId());
        // QTimer counts in int milliseconds.
        const double limit = std::clamp(timeoutSeconds * 1000, 0.0, double(INT_MAX));
        m_timeout.start(int(limit));
    }

private:
    void readOutput() {
        while (m_process.bytesAvailable() > 0) {
            const QByteArray chunk = m_process.read(ServiceProcess::chunkSize);
            if (m_capped)
                continue; // drained and dropped, so the child's pipe never stalls it
            if (m_output.size() + chunk.size() > ServiceProcess::outputLimit) {
                m_capped = true;
                requestTermination();
                continue;
            }
            m_output.append(chunk);
        }
    }

    void requestTermination() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        endGroup(SIGTERM);
        // A child that ignores the request must still end.
        if (!m_kill.isActive())
            m_kill.start(ServiceProcess::killGraceMilliseconds);
    }

    void handleError(QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            complete(ProcessResult::failure(m_process.errorString()));
        else if (error == QProcess::ReadError)
            complete(ProcessResult::failure(m_process.errorString()));
        // Crashes and timeouts are reported by handleFinished with their exit status.
    }

    void handleFinished(int exitCode, QProcess::ExitStatus status) {
        readOutput();
        // Whatever the child left running in the background ends with its run.
        endGroup(SIGKILL);
        m_timeout.stop();
        m_kill.stop();
        if (status != QProcess::NormalExit || exitCode != 0)
            complete(ProcessResult::failure(ServiceProcess::failureMessage()));
        else
            complete(ProcessResult::success(QString::fromUtf8(m_output)));
        // A failure reported earlier (a read error) may have reached the caller already.
        if (m_delivered)
            deleteLater();
    }

    void endGroup(int signal) {
        if (m_group > 0)
            ::kill(-m_group, signal);
    }

    // The first outcome wins; it reaches the caller from the event loop, never from inside run().
    void complete(const ProcessResult& result) {
        if (m_completed)
            return;
        m_completed = true;
        QMetaObject::invokeMethod(
                this,
                [this, result] {
                    m_delivered = true;
                    // The completion may delete the receiver, and with it this run.
                    const QPointer<ProcessRun> self(this);
                    if (m_receiver)
                        m_completion(result);
                    if (self && m_process.state() == QProcess::NotRunning)
                        deleteLater();
                },
                Qt::QueuedConnection);
    }

    pid_t m_group = 0;
    QPointer<QObject> m_receiver;
    ServiceProcess::Completion m_completion;
    QProcess m_process;
    QTimer m_timeout;
    QTimer m_kill;
    QByteArray m_output;
    bool m_capped = false;
    bool m_completed = false;
    bool m_delivered = false;
};

} // namespace

void ServiceProcess::run(const QString& executable, const QStringList& arguments,
                         double timeoutSeconds, QObject* receiver, Completion completion) {
    auto* run = new ProcessRun(receiver, std::move(completion));
    run->start(executable, arguments, timeoutSeconds);
}
