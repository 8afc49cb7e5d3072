#include "integrations/ServiceProcess.h"

#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Outcome {
    int calls = 0;
    ProcessResult result;
};

// Starts a run and waits for its completion.
std::shared_ptr<Outcome> runAndWait(const QString& executable, const QStringList& arguments,
                                    double timeout = 5, int waitMs = 10000) {
    auto outcome = std::make_shared<Outcome>();
    QObject receiver;
    ServiceProcess::run(executable, arguments, timeout, &receiver,
                        [outcome](const ProcessResult& result) {
                            ++outcome->calls;
                            outcome->result = result;
                        });
    EXPECT_TRUE(waitUntil([&] { return outcome->calls > 0; }, waitMs));
    // Exactly once: nothing more arrives afterwards.
    spin(50);
    return outcome;
}

} // namespace

TEST(ServiceProcess, OutputIsReturnedExactly) {
    auto silent = runAndWait("/bin/true", {});
    EXPECT_EQ(silent->calls, 1);
    EXPECT_TRUE(silent->result.ok);
    EXPECT_EQ(silent->result.output, "");

    EXPECT_EQ(runAndWait("/usr/bin/printf", {"abc"})->result.output, "abc");
    EXPECT_EQ(runAndWait("/usr/bin/printf", {"abc\\n"})->result.output, "abc\n");
    // Arguments reach the program unchanged, without a shell.
    EXPECT_EQ(runAndWait("/bin/echo", {"$HOME", "a b", ";"})->result.output, "$HOME a b ;\n");
    // Invalid UTF-8 becomes replacement characters, never an error.
    const auto binary = runAndWait("/usr/bin/printf", {"\\377ok"});
    EXPECT_TRUE(binary->result.ok);
    EXPECT_EQ(binary->result.output, QString(QChar(0xFFFD)) + "ok");
}

TEST(ServiceProcess, TheChildGetsOnlyTheFixedEnvironment) {
    qputenv("TABLORA_TEST_SECRET", "leak");
    const auto outcome = runAndWait("/usr/bin/env", {});
    qunsetenv("TABLORA_TEST_SECRET");
    QStringList lines = outcome->result.output.split('\n', Qt::SkipEmptyParts);
    lines.sort();
    EXPECT_EQ(lines, QStringList({"GIT_TERMINAL_PROMPT=0", "LC_ALL=C",
                                  "PATH=/usr/bin:/bin:/usr/sbin:/sbin"}));
}

TEST(ServiceProcess, FailuresAreReportedOnce) {
    const auto failed = runAndWait("/bin/false", {});
    EXPECT_EQ(failed->calls, 1);
    EXPECT_FALSE(failed->result.ok);
    EXPECT_EQ(failed->result.error, "The operation failed or timed out");

    const auto missing = runAndWait("/nonexistent/program", {});
    EXPECT_EQ(missing->calls, 1);
    EXPECT_FALSE(missing->result.ok);
    EXPECT_FALSE(missing->result.error.isEmpty());
    EXPECT_NE(missing->result.error, "The operation failed or timed out");

    // Standard error is discarded, not mixed into the output.
    const auto noisy = runAndWait("/bin/sh", {"-c", "echo out; echo err >&2"});
    EXPECT_EQ(noisy->result.output, "out\n");
}

TEST(ServiceProcess, TimeLimitEndsTheChildWithoutBlocking) {
    QElapsedTimer clock;
    clock.start();
    auto outcome = std::make_shared<Outcome>();
    QObject receiver;
    ServiceProcess::run("/bin/sleep", {"30"}, 0.3, &receiver,
                        [outcome](const ProcessResult& result) {
                            ++outcome->calls;
                            outcome->result = result;
                        });
    // The call returns at once; the result comes later through the event loop.
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_EQ(outcome->calls, 0);
    ASSERT_TRUE(waitUntil([&] { return outcome->calls > 0; }));
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(outcome->result.error, "The operation failed or timed out");
}

TEST(ServiceProcess, AChildIgnoringTheRequestIsKilledAfterTheGracePeriod) {
    QElapsedTimer clock;
    clock.start();
    const auto outcome =
            runAndWait("/bin/sh", {"-c", "trap '' TERM; while :; do sleep 0.05; done"}, 0.2);
    EXPECT_EQ(outcome->calls, 1);
    EXPECT_EQ(outcome->result.error, "The operation failed or timed out");
    EXPECT_LT(clock.elapsed(), 200 + ServiceProcess::killGraceMilliseconds + 2000);
}

TEST(ServiceProcess, OutputBeyondTheCapStopsTheChild) {
    const auto outcome = runAndWait("/usr/bin/head", {"-c", "3000000", "/dev/zero"});
    EXPECT_EQ(outcome->calls, 1);
    // Either the child died of the request, or it had already finished with status 0 and its
    // first part is kept.
    if (outcome->result.ok) {
        EXPECT_LE(outcome->result.output.size(), ServiceProcess::outputLimit);
        EXPECT_GT(outcome->result.output.size(),
                  ServiceProcess::outputLimit - ServiceProcess::chunkSize);
    } else {
        EXPECT_EQ(outcome->result.error, "The operation failed or timed out");
    }

    // Right at the limit everything is kept.
    const auto exact = runAndWait("/usr/bin/head", {"-c", "2000000", "/dev/zero"});
    EXPECT_TRUE(exact->result.ok);
    EXPECT_EQ(exact->result.output.size(), 2000000);
}

TEST(ServiceProcess, NoCompletionAfterTheReceiverIsGone) {
    int calls = 0;
    {
        QObject receiver;
        ServiceProcess::run("/bin/true", {}, 5, &receiver,
                            [&calls](const ProcessResult&) { ++calls; });
    }
    spin(300);
    EXPECT_EQ(calls, 0);
}

// What a child starts in the background (an automation's `sleep … &`) ends with the run: when the
// child exits, at the time limit, and when the run's owner goes away.
TEST(ServiceProcess, WhatAChildStartsInTheBackgroundEndsWithIt) {
    QTemporaryDir folder;
    const auto alive = [](const QString& pidFile) {
        QFile file(pidFile);
        if (!file.open(QIODevice::ReadOnly))
            return true; // not written yet: still starting
        const pid_t pid = pid_t(file.readAll().trimmed().toInt());
        // A finished grandchild waits for whoever adopted it to reap it, which may take a while:
        // an ended one is gone or a zombie ("Z" after its name in /proc/PID/stat).
        QFile stat(QString("/proc/%1/stat").arg(pid));
        if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        return !line.mid(line.lastIndexOf(')') + 1).trimmed().startsWith('Z');
    };
    const QString exits = folder.filePath("exits.pid");
    const auto done = runAndWait("/bin/sh", {"-c", "sleep 60 & echo $! > " + exits + "; echo ok"});
    EXPECT_TRUE(done->result.ok);
    EXPECT_TRUE(waitUntil([&] { return !alive(exits); }, 3000));

    const QString timed = folder.filePath("timed.pid");
    const auto timedOut =
            runAndWait("/bin/sh", {"-c", "sleep 60 & echo $! > " + timed + "; sleep 60"}, 0.3);
    EXPECT_FALSE(timedOut->result.ok);
    EXPECT_TRUE(waitUntil([&] { return !alive(timed); }, 3000));

    const QString owned = folder.filePath("owned.pid");
    {
        QObject receiver;
        ServiceProcess::run("/bin/sh", {"-c", "sleep 60 & echo $! > " + owned + "; sleep 60"}, 30,
                            &receiver, [](const ProcessResult&) {});
        ASSERT_TRUE(waitUntil([&] { return QFile(owned).size() > 0; }, 3000));
    }
    EXPECT_TRUE(waitUntil([&] { return !alive(owned); }, 3000));
}
