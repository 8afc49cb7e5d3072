#include "integrations/ProjectService.h"

#include "integrations/linux/AutomationsFolder.h"
#include "integrations/linux/LibgitRepositoryReader.h"
#include "support/EventLoop.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class FakeChooser : public FolderChooser {
public:
    std::optional<QString> answer;
    QString lastTitle;
    bool lastFiles = false;

    void choose(const QString& title, bool files, Completion completion) override {
        lastTitle = title;
        lastFiles = files;
        completion(answer);
    }
};

// A repository on a file system that does not answer.
struct HangingRepository : RepositoryReader {
    std::optional<RepositoryState> read(const QString&) override {
        QThread::sleep(2);
        return RepositoryState{"main", 0, "abc late"};
    }
};

void git(const QString& repository, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(repository);
    process.start("/usr/bin/git",
                  QStringList{"-c", "user.name=Tests", "-c", "user.email=t@example.org"} +
                          arguments);
    ASSERT_TRUE(process.waitForFinished(20000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

struct ProjectTest : testing::Test {
    QTemporaryDir folder;
    std::shared_ptr<FakeChooser> chooser = std::make_shared<FakeChooser>();
    QString automations = folder.filePath("automations");
    std::unique_ptr<ProjectService> service;

    ProjectService& open(ProjectPrograms programs = {}) {
        if (!programs.repository)
            programs.repository = std::make_shared<LibgitRepositoryReader>();
        service = std::make_unique<ProjectService>(folder.filePath("settings"), chooser,
                                                   std::make_shared<AutomationsFolder>(automations),
                                                   programs);
        return *service;
    }

    // A repository with one commit, then a modified, a renamed and an untracked file.
    QString repository() {
        const QString path = folder.filePath("My Project");
        QDir().mkpath(path);
        git(path, {"init", "-q", "-b", "main"});
        writeFile(path + "/a.txt", "a");
        writeFile(path + "/b.txt", "b");
        git(path, {"add", "."});
        git(path, {"commit", "-q", "-m", "First commit"});
        writeFile(path + "/a.txt", "changed");
        git(path, {"mv", "b.txt", "c.txt"});
        writeFile(path + "/new.txt", "new");
        return path;
    }

    void refreshAndWait() {
        bool done = false;
        service->refresh([&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }, 20000));
    }

    QJsonObject settings() const {
        QFile file(folder.filePath("settings/project.json"));
        file.open(QIODevice::ReadOnly);
        return QJsonDocument::fromJson(file.readAll()).object();
    }
};

} // namespace

TEST(ProjectParsing, ChangeCount) {
    EXPECT_EQ(ProjectService::changeCount(""), 0);
    EXPECT_EQ(ProjectService::changeCount(QString("R  new.txt") + QChar(0) + "old.txt" + QChar(0)),
              1);
    EXPECT_EQ(ProjectService::changeCount(QString(" M a.txt") + QChar(0) + "R  c.txt" + QChar(0) +
                                          "b.txt" + QChar(0) + "?? new.txt" + QChar(0)),
              3);
    EXPECT_EQ(ProjectService::changeCount(QString("C  copy.txt") + QChar(0) + "orig.txt"), 1);
}

TEST(ProjectParsing, BuildStatusTakesTheLastDecidingLine) {
    EXPECT_EQ(ProjectService::buildStatus("compiling\nBUILD SUCCEEDED\nunrelated\n"), "Succeeded");
    EXPECT_EQ(ProjectService::buildStatus("Build succeeded\nmain.c:3: error: oops\n"), "Failed");
    EXPECT_EQ(ProjectService::buildStatus("error: first\nBuild complete!\n"), "Succeeded");
    EXPECT_EQ(ProjectService::buildStatus("build failed but build succeeded\n"), "Failed");
    EXPECT_EQ(ProjectService::buildStatus("nothing here\n\n"), "No result found in log");
    EXPECT_EQ(ProjectService::buildStatus(""), "No result found in log");
}

TEST_F(ProjectTest, UnconfiguredUntilAFolderIsChosen) {
    ProjectService& project = open();
    EXPECT_EQ(project.state(), (QJsonObject{{"configured", false}}));
    refreshAndWait();
    EXPECT_EQ(project.state(), (QJsonObject{{"configured", false}}));

    chooser->answer.reset();
    bool done = false;
    project.choose(false, [&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_EQ(chooser->lastTitle, "Choose a Git project");
    EXPECT_FALSE(chooser->lastFiles);
    EXPECT_FALSE(QFile::exists(project.settingsPath()));
}

TEST_F(ProjectTest, StatusOfARealRepository) {
    const QString path = repository();
    ProjectService& project = open();
    chooser->answer = path;
    QSignalSpy changed(&project, &ProjectService::changed);
    bool done = false;
    project.choose(false, [&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }, 20000));
    EXPECT_EQ(changed.count(), 1);
    const QJsonObject state = project.state();
    EXPECT_EQ(state["configured"], true);
    EXPECT_EQ(state["name"], "My Project");
    EXPECT_EQ(state["branch"], "main");
    EXPECT_TRUE(state["commit"].toString().endsWith(" First commit"));
    EXPECT_EQ(state["changes"], 3);
    EXPECT_EQ(state["build"], "No build log selected");
    EXPECT_FALSE(state.contains("log"));
    EXPECT_EQ(settings(), (QJsonObject{{"project", path}}));
}

// A repository whose configuration names a program for everything a status read could run:
// reading it must run none of them.
TEST_F(ProjectTest, AHostileRepositoryRunsNothing) {
    const QString path = repository();
    const QString marker = folder.filePath("ran");
    const QString program = writeScript(folder.filePath("bin/evil"),
                                        "echo \"$0 $*\" >> '" + marker.toUtf8() + "'\ncat");
    const QString hooks = folder.filePath("hooks");
    QDir().mkpath(hooks);
    for (const char* hook : {"pre-commit", "post-checkout", "post-index-change", "post-merge",
                             "reference-transaction", "fsmonitor-watchman", "pre-auto-gc"})
        ASSERT_TRUE(QFile::copy(program, hooks + "/" + hook));
    const QList<QPair<QString, QString>> settings = {
            {"core.fsmonitor", program},     {"core.hooksPath", hooks},
            {"core.pager", program},         {"pager.status", program},
            {"pager.log", program},          {"filter.evil.clean", program},
            {"filter.evil.smudge", program}, {"diff.evil.textconv", program},
            {"diff.external", program},      {"gpg.program", program},
            {"log.showSignature", "true"},   {"credential.helper", program},
            {"core.sshCommand", program},    {"core.askPass", program},
            {"core.editor", program}};
    for (const auto& [key, value] : settings)
        git(path, {"config", key, value});
    writeFile(path + "/.git/info/attributes", "* filter=evil diff=evil\n");
    // A signed last commit, so that showing signatures has something to check.
    QProcess catFile;
    catFile.start("/usr/bin/git", {"-C", path, "cat-file", "commit", "HEAD"});
    ASSERT_TRUE(catFile.waitForFinished());
    QByteArray commit = catFile.readAllStandardOutput();
    commit.replace("\n\n",
                   "\ngpgsig -----BEGIN PGP SIGNATURE-----\n \n -----END PGP SIGNATURE-----\n\n");
    QProcess hash;
    hash.start("/usr/bin/git", {"-C", path, "hash-object", "-t", "commit", "-w", "--stdin"});
    hash.write(commit);
    hash.closeWriteChannel();
    ASSERT_TRUE(hash.waitForFinished());
    git(path, {"update-ref", "HEAD", QString::fromLatin1(hash.readAllStandardOutput().trimmed())});
    QFile::remove(marker);

    ProjectService& project = open();
    chooser->answer = path;
    bool done = false;
    project.choose(false, [&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }, 20000));
    EXPECT_EQ(project.state()["branch"], "main");
    EXPECT_EQ(project.state()["changes"], 3);
    EXPECT_TRUE(project.state()["commit"].toString().endsWith(" First commit"));
    EXPECT_FALSE(QFile::exists(marker));

    // The repository is really hostile: the git program, asked as before, runs its programs.
    for (const QStringList& step : {QStringList{"status", "--porcelain=v1", "-z"},
                                    QStringList{"log", "-1", "--format=%h %s"}}) {
        QProcess old;
        old.start("/usr/bin/git",
                  QStringList{"--no-optional-locks", "-c", "core.fsmonitor=false", "-C", path} +
                          step);
        ASSERT_TRUE(old.waitForFinished(20000));
    }
    EXPECT_TRUE(QFile::exists(marker));
}

TEST_F(ProjectTest, BuildLogTail) {
    const QString path = repository();
    // The failure lies outside the last 64 KB; the tail says the build succeeded.
    QByteArray log =
            "error: early failure\n" + QByteArray(100000 - 40, 'x') + "\nBuild succeeded\n";
    writeFile(folder.filePath("build.log"), log);
    writeFile(folder.filePath("settings/project.json"),
              QJsonDocument(
                      QJsonObject{{"project", path}, {"buildLog", folder.filePath("build.log")}})
                      .toJson());
    ProjectService& project = open();
    EXPECT_EQ(project.buildLog(), folder.filePath("build.log"));
    refreshAndWait();
    EXPECT_EQ(project.state()["build"], "Succeeded");
    EXPECT_EQ(project.state()["log"], "build.log");
    EXPECT_NEAR(project.state()["buildUpdated"].toDouble(),
                QFileInfo(folder.filePath("build.log")).lastModified().toMSecsSinceEpoch(), 1);

    // Invalid UTF-8 is read with replacements.
    writeFile(folder.filePath("build.log"), "\xff\xfe ERROR: bad\n");
    refreshAndWait();
    EXPECT_EQ(project.state()["build"], "Failed");

    QFile::remove(folder.filePath("build.log"));
    refreshAndWait();
    EXPECT_EQ(project.state()["build"], "No build log selected");
    EXPECT_FALSE(project.state().contains("log"));

    // Picking another project forgets the build log.
    chooser->answer = path;
    project.choose(false);
    EXPECT_EQ(settings(), (QJsonObject{{"project", path}}));
    EXPECT_FALSE(project.buildLog());
    chooser->answer = folder.filePath("other.log");
    project.choose(true);
    EXPECT_EQ(chooser->lastTitle, "Choose a build log");
    EXPECT_TRUE(chooser->lastFiles);
    EXPECT_EQ(settings()["buildLog"], folder.filePath("other.log"));
}

TEST_F(ProjectTest, FoldersThatAreNoRepositoryAndGitThatHangs) {
    writeFile(folder.filePath("settings/project.json"),
              QJsonDocument(QJsonObject{{"project", folder.filePath("plain")}}).toJson());
    QDir().mkpath(folder.filePath("plain"));
    open();
    refreshAndWait();
    EXPECT_EQ(service->state(),
              (QJsonObject{{"configured", true},
                           {"name", "plain"},
                           {"error", "Project unavailable or not a Git repository"}}));

    ProjectPrograms hanging;
    hanging.repository = std::make_shared<HangingRepository>();
    hanging.gitTimeout = 0.3;
    open(hanging);
    refreshAndWait();
    EXPECT_EQ(service->state()["error"], "Project unavailable or not a Git repository");

    writeFile(folder.filePath("settings/project.json"), "{\"project\": 7}");
    EXPECT_FALSE(open().project());
}

TEST_F(ProjectTest, Automations) {
    ProjectPrograms programs;
    programs.runTimeout = 0.5;
    ProjectService& project = open(programs);
    EXPECT_EQ(project.shortcutStatus(), "Refresh to load your automations");
    project.loadShortcuts();
    EXPECT_TRUE(project.isShortcutBusy());
    ASSERT_TRUE(waitUntil([&] { return !project.isShortcutBusy(); }));
    EXPECT_EQ(project.shortcutStatus(),
              "Put an executable script in ~/.config/tablora/automations first");

    writeScript(automations + "/Lights on", "exit 0");
    writeScript(automations + "/Backup", "exit 2");
    writeScript(automations + "/forever", "sleep 30");
    writeFile(automations + "/notes.txt", "not executable");
    project.loadShortcuts();
    ASSERT_TRUE(waitUntil([&] { return !project.isShortcutBusy(); }));
    EXPECT_EQ(project.shortcuts(), QStringList({"Backup", "Lights on", "forever"}));
    EXPECT_EQ(project.shortcutStatus(), "Ready");

    std::optional<std::optional<QString>> outcome;
    const auto run = [&](const QString& name) {
        outcome.reset();
        project.runShortcut(name, [&](const std::optional<QString>& error) { outcome = error; });
    };
    run("Lights on");
    EXPECT_EQ(project.shortcutStatus(), QString::fromUtf8("Running Lights on…"));
    EXPECT_TRUE(project.shortcutStatus().endsWith(QChar(0x2026)));
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_FALSE(*outcome);
    EXPECT_EQ(project.shortcutStatus(), "Finished Lights on");

    run("Backup");
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_EQ(*outcome, "The operation failed or timed out");
    EXPECT_EQ(project.shortcutStatus(), "Shortcut failed or exceeded two minutes");

    run("forever");
    // One at a time: a second run while one runs is refused, not reported as done.
    std::optional<std::optional<QString>> second;
    project.runShortcut("Lights on", [&](const std::optional<QString>& error) { second = error; });
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*second, "Another automation is running. Try again when it finishes.");
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }, 5000));
    EXPECT_EQ(project.shortcutStatus(), "Shortcut failed or exceeded two minutes");

    run("../escape");
    EXPECT_EQ(*outcome, "Refresh and choose an available shortcut");
}
