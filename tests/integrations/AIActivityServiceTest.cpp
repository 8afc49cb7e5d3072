#include "integrations/AIActivityService.h"

#include "support/EventLoop.h"
#include "support/FakeClock.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

namespace {

struct AIServiceTest : testing::Test {
    QTemporaryDir home;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    AIActivityService service{home.path(), clock};

    QString write(const QString& relative, const QByteArray& contents, qint64 mtime = 1700000000) {
        const QString path = home.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(contents);
        file.close();
        setModified(path, mtime);
        return path;
    }

    static void setModified(const QString& path, qint64 mtime) {
        utimbuf times{mtime, mtime};
        ::utime(QFile::encodeName(path).constData(), &times);
    }

    QJsonArray refreshed() {
        QSignalSpy changed(&service, &AIActivityService::changed);
        service.refresh();
        EXPECT_TRUE(service.isBusy());
        EXPECT_TRUE(changed.wait(10000));
        EXPECT_FALSE(service.isBusy());
        return service.state()["sessions"].toArray();
    }
};

const QByteArray codexTurn =
        R"({"type":"session_meta","timestamp":"2026-12-07T10:00:00Z","payload":{"cwd":"/work/app"}}
{"type":"event_msg","timestamp":"2026-12-07T10:00:01Z","payload":{"type":"task_started"}}
{"type":"response_item","timestamp":"2026-12-07T10:00:02Z","payload":{"type":"function_call","name":"exec_command","call_id":"c1"}}
)";

QStringList projects(const QJsonArray& sessions) {
    QStringList list;
    for (const QJsonValue& session : sessions)
        list.append(session.toObject()["project"].toString());
    return list;
}

} // namespace

TEST_F(AIServiceTest, NothingFound) {
    EXPECT_EQ(service.state()["message"], QString::fromUtf8("Looking for local sessions…"));
    EXPECT_TRUE(refreshed().isEmpty());
    EXPECT_EQ(
            service.state()["message"],
            "No local Codex or Claude Code sessions found. Run either app on this computer to get "
            "started.");
    EXPECT_DOUBLE_EQ(service.state()["checked"].toDouble(),
                     clock->now().toMSecsSinceEpoch() / 1000.0);
}

TEST_F(AIServiceTest, SixNewestPerProviderNewestFirst) {
    for (int i = 0; i < 7; ++i)
        write(QString(".codex/sessions/2026/12/rollout-%1.jsonl").arg(i),
              R"({"type":"session_meta","payload":{"cwd":"/p/codex)" + QByteArray::number(i) +
                      "\"}}\n",
              1700000000 + i);
    write(".claude/projects/app/abc.jsonl",
          R"({"type":"user","cwd":"/p/claude"})"
          "\n",
          1700000100);
    write(".claude/projects/app/subagents/agent.jsonl", "{}\n", 1700000200);
    write(".claude/projects/.hidden/x.jsonl", "{}\n", 1700000300);
    write(".claude/projects/app/notes.txt", "{}\n", 1700000400);
    const QJsonArray sessions = refreshed();
    EXPECT_EQ(projects(sessions),
              QStringList({"claude", "codex6", "codex5", "codex4", "codex3", "codex2", "codex1"}));
    EXPECT_EQ(sessions[0].toObject()["provider"], "claude");
    EXPECT_EQ(service.state()["message"], "");
}

TEST_F(AIServiceTest, FoldersAreListedAgainOnlyEveryThirtySeconds) {
    write(".codex/sessions/a.jsonl", codexTurn);
    EXPECT_EQ(refreshed().size(), 1);
    write(".codex/sessions/b.jsonl", codexTurn);
    clock->advance(30);
    EXPECT_EQ(refreshed().size(), 1);
    clock->advance(0.5);
    EXPECT_EQ(refreshed().size(), 2);

    // A followed file that vanishes is dropped without a rescan.
    QFile::remove(home.filePath(".codex/sessions/a.jsonl"));
    EXPECT_EQ(refreshed().size(), 1);
}

TEST_F(AIServiceTest, UnchangedFilesKeepTheirSessionChangedOnesAreReadAgain) {
    const QString path = write(".codex/sessions/a.jsonl", codexTurn, 1700000000);
    QJsonObject first = refreshed()[0].toObject();
    EXPECT_EQ(first["status"], "Working");
    EXPECT_EQ(first["activity"].toObject()["operation"], "Running a command");

    // New content with the old modification time is not looked at.
    QFile file(path);
    file.open(QIODevice::Append);
    file.write(
            R"({"type":"event_msg","timestamp":"2026-12-07T10:00:09Z","payload":{"type":"task_complete"}})"
            "\n");
    file.close();
    setModified(path, 1700000000);
    EXPECT_EQ(refreshed()[0].toObject(), first);

    setModified(path, 1700000009);
    const QJsonObject second = refreshed()[0].toObject();
    EXPECT_EQ(second["status"], "Completed");
    EXPECT_EQ(second["activity"].toObject()["operation"], "Completed");
    EXPECT_EQ(second["updated"], 1700000009);
}

TEST_F(AIServiceTest, LargeTranscriptsAreReadAtTheirHeadAndTail) {
    // The head names the project; the middle says "task_complete"; the tail says the turn runs.
    QByteArray contents = R"({"type":"session_meta","payload":{"cwd":"/work/big"}})"
                          "\n";
    contents += R"({"type":"event_msg","payload":{"type":"task_complete"}})"
                "\n";
    const QByteArray filler = R"({"type":"response_item","payload":{"type":"message","text":")" +
                              QByteArray(200, 'x') + "\"}}\n";
    while (contents.size() < 3000000 - 200)
        contents += filler;
    contents +=
            R"({"type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":5}}}})"
            "\n";
    write(".codex/sessions/big.jsonl", contents);
    const QJsonObject session = refreshed()[0].toObject();
    EXPECT_EQ(session["project"], "big");
    EXPECT_EQ(session["status"], "Unknown"); // the completion lies outside both reads
    EXPECT_EQ(session["input"], 5);
}

TEST_F(AIServiceTest, BrokenLinesAndBinaryAreSkipped) {
    static const char broken[] = "\x00\xff\xfe garbage\n{\"type\":\n[1,2]\n\"just a string\"\n";
    QByteArray contents(broken, sizeof broken - 1);
    contents += R"({"type":"assistant","message":{"model":"claude-x","stop_reason":"end_turn"}})";
    write(".claude/projects/p/s.jsonl", contents);
    const QJsonObject session = refreshed()[0].toObject();
    EXPECT_EQ(session["model"], "claude-x");
    EXPECT_EQ(session["status"], "Completed");
}

TEST_F(AIServiceTest, ARefreshWhileOneRunsIsIgnored) {
    write(".codex/sessions/a.jsonl", codexTurn);
    QSignalSpy changed(&service, &AIActivityService::changed);
    service.refresh();
    service.refresh();
    ASSERT_TRUE(changed.wait(10000));
    spin(200);
    EXPECT_EQ(changed.count(), 1);
}
