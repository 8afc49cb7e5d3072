#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

// What one run of an external program produced: its standard output, or why it failed.
struct ProcessResult {
    bool ok = false;
    QString output; // standard output as UTF-8, invalid sequences replaced
    QString error;  // the failure message when !ok

    static ProcessResult success(QString output) { return {true, std::move(output), {}}; }
    static ProcessResult failure(QString message) { return {false, {}, std::move(message)}; }
};

// The only way integrations start other programs. Every run gets a fixed environment
// (PATH, LC_ALL=C, GIT_TERMINAL_PROMPT=0 and nothing else), no standard input, standard error
// discarded, at most 2,000,000 bytes of output and a time limit, so a hung or chatty child can
// neither stall nor flood the dashboard. The child leads its own process group, and the whole
// group ends with the run: at the time limit, when the child exits, and when the run's owner
// goes away.
class ServiceProcess {
public:
    static constexpr qint64 chunkSize = 65536;
    static constexpr qint64 outputLimit = 2000000;
    // How long a child may ignore a termination request before it is killed.
    static constexpr int killGraceMilliseconds = 2000;

    using Completion = std::function<void(const ProcessResult&)>;

    // Starts `executable` (an absolute path, no shell, no PATH lookup) and returns at once.
    // `completion` runs exactly once, later, on the calling thread's event loop, unless
    // `receiver` is destroyed first.
    static void run(const QString& executable, const QStringList& arguments, double timeoutSeconds,
                    QObject* receiver, Completion completion);

    static QString failureMessage() { return QStringLiteral("The operation failed or timed out"); }
};
