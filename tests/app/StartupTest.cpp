// What a start decides before any window: the command line, the data folder's lock and what a
// second start does with the answer of the dashboard that runs.
#include "desktop/CommandLine.h"
#include "desktop/InstanceLock.h"
#include "desktop/SingleInstance.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using Action = CommandLine::Action;
using Status = InstanceChannel::Reply::Status;

CommandLine parsed(const QStringList& arguments) {
    const auto result = CommandLine::parse(arguments);
    if (const QString* error = std::get_if<QString>(&result))
        ADD_FAILURE() << arguments.join(' ').toStdString() << ": " << error->toStdString();
    return std::holds_alternative<CommandLine>(result) ? std::get<CommandLine>(result)
                                                       : CommandLine{};
}

QString refusal(const QStringList& arguments) {
    const auto result = CommandLine::parse(arguments);
    return std::holds_alternative<QString>(result) ? std::get<QString>(result) : QString();
}

TEST(CommandLine, ReadsEachCommandWithItsValueInBothForms) {
    EXPECT_EQ(parsed({}).action, Action::start);
    EXPECT_EQ(parsed({"--preview"}).action, Action::preview);
    EXPECT_EQ(parsed({"--page", "3"}).page, 3);
    EXPECT_EQ(parsed({"--page=8"}).page, 8);
    EXPECT_EQ(parsed({"--next-page"}).action, Action::nextPage);
    EXPECT_EQ(parsed({"--previous-page"}).action, Action::previousPage);
    EXPECT_EQ(parsed({"--reload-widgets"}).action, Action::reloadWidgets);
    EXPECT_EQ(parsed({"--settings"}).settingsTab, SettingsTab::general);
    EXPECT_EQ(parsed({"--settings", "layouts"}).settingsTab, SettingsTab::layouts);
    EXPECT_EQ(parsed({"--settings=widgets"}).settingsTab, SettingsTab::packages);
    // An option after --settings is no tab.
    const CommandLine settings = parsed({"--settings", "--verbose"});
    EXPECT_EQ(settings.action, Action::settings);
    EXPECT_TRUE(settings.verbose);
    EXPECT_TRUE(parsed({"--autostart", "on"}).autostart);
    EXPECT_FALSE(parsed({"--autostart=off"}).autostart);
    // The toast is one line, however the text came.
    EXPECT_EQ(parsed({"--notify", "  Build\n  finished "}).text, "Build finished");
    EXPECT_EQ(parsed({"--notify=--page 2"}).text, "--page 2");
    EXPECT_TRUE(parsed({"--verbose", "--page", "1"}).verbose);
}

TEST(CommandLine, WrongCommandLinesSayWhatIsWrongInOneLine) {
    const QList<std::pair<QStringList, QString>> cases = {
            {{"--bogus"}, "unknown option '--bogus'"},
            {{"-x"}, "unknown option '-x'"},
            {{"dashboard"}, "unexpected argument 'dashboard'"},
            {{"--page"}, "--page needs a page number"},
            {{"--page", "0"}, "--page takes a page number from 1 to 8, not '0'"},
            {{"--page", "9"}, "--page takes a page number from 1 to 8, not '9'"},
            {{"--page=two"}, "--page takes a page number from 1 to 8, not 'two'"},
            {{"--settings", "colours"},
             "--settings takes general, layouts or widgets, not 'colours'"},
            {{"--notify"}, "--notify needs a message"},
            {{"--notify", " \n "}, "--notify needs a message"},
            {{"--notify", QString(301, 'a')}, "--notify takes at most 300 characters, not 301"},
            {{"--autostart", "yes"}, "--autostart takes on or off, not 'yes'"},
            {{"--autostart"}, "--autostart needs on or off"},
            {{"--next-page=2"}, "--next-page takes no value"},
            {{"--verbose=1"}, "--verbose takes no value"},
            {{"--page", "1", "--notify", "hi"}, "one command at a time: --page and --notify"},
            {{"--preview", "--preview"}, "one command at a time: --preview and --preview"},
    };
    for (const auto& [arguments, error] : cases) {
        EXPECT_EQ(refusal(arguments), error) << arguments.join(' ').toStdString();
        EXPECT_FALSE(error.contains('\n'));
    }
}

TEST(CommandLine, HelpAndVersionAnswerWhateverElseIsGiven) {
    EXPECT_EQ(parsed({"--page", "2", "--help"}).action, Action::help);
    EXPECT_EQ(parsed({"-h"}).action, Action::help);
    EXPECT_EQ(parsed({"--version", "--bogus"}).action, Action::version);
    EXPECT_TRUE(CommandLine::usage().contains("--notify TEXT"));
    EXPECT_EQ(CommandLine::version(), "tablora " TABLORA_VERSION);
}

// ---- A start's decision

struct Decision : testing::Test {
    int handOvers = 0;
    InstanceChannel::Reply reply;
    // What trying the lock again finds, in turn; then the time is up.
    QList<LockReading> later;

    StartOutcome decide(const QStringList& arguments, InstanceLock::State lock) {
        const auto handOver = [&] {
            ++handOvers;
            return reply;
        };
        const auto lockAgain = [&]() -> std::optional<LockReading> {
            if (later.isEmpty())
                return std::nullopt;
            return later.takeFirst();
        };
        return decideStart(parsed(arguments), {lock, 4242, "the lock belongs to another user"},
                           handOver, lockAgain);
    }
};

TEST_F(Decision, TheFirstStartRunsUnlessItsCommandNeedsARunningDashboard) {
    EXPECT_TRUE(decide({}, InstanceLock::State::held).run);
    EXPECT_TRUE(decide({"--settings", "layouts"}, InstanceLock::State::held).run);
    // A folder that takes no lock (read-only) is no reason not to show the dashboard.
    EXPECT_TRUE(decide({"--preview"}, InstanceLock::State::unavailable).run);
    for (const QStringList& command : QList<QStringList>{{"--page", "2"},
                                                         {"--next-page"},
                                                         {"--previous-page"},
                                                         {"--reload-widgets"},
                                                         {"--notify", "hi"}}) {
        const StartOutcome outcome = decide(command, InstanceLock::State::held);
        EXPECT_FALSE(outcome.run);
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_EQ(outcome.message, "Tablora is not running");
    }
    EXPECT_EQ(handOvers, 0);
}

TEST_F(Decision, ASecondStartHandsOverAndSaysWhatCameOfIt) {
    reply = {Status::done, {}};
    StartOutcome outcome = decide({}, InstanceLock::State::heldElsewhere);
    EXPECT_FALSE(outcome.run);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.message, "Tablora is already running; showed its window");
    EXPECT_EQ(decide({"--page", "2"}, InstanceLock::State::heldElsewhere).message, "");

    reply = {Status::refused, "there is no page 5: the dashboard has 3 pages"};
    outcome = decide({"--page", "5"}, InstanceLock::State::heldElsewhere);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.message, reply.message);

    // Without a bus the lock still keeps the second dashboard out; a command is lost and says so.
    reply = {Status::unreachable, "there is no session bus"};
    outcome = decide({}, InstanceLock::State::heldElsewhere);
    EXPECT_FALSE(outcome.run);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.message, "Tablora is already running (process 4242)");
    outcome = decide({"--next-page"}, InstanceLock::State::heldElsewhere);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.message.toStdString(), "Tablora is already running (process 4242) but "
                                             "can’t be reached: there is no session bus");

    reply = {Status::noAnswer, {}};
    outcome = decide({}, InstanceLock::State::heldElsewhere);
    EXPECT_FALSE(outcome.run);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.message.toStdString(), "Tablora is already running (process 4242) but "
                                             "didn’t answer within 5 seconds");
    EXPECT_EQ(handOvers, 6);

    outcome = decide({}, InstanceLock::State::foreign);
    EXPECT_FALSE(outcome.run);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.message.toStdString(),
              "Tablora can’t start: the lock belongs to another user");
    EXPECT_EQ(handOvers, 6);
}

TEST_F(Decision, ADashboardWaitsForALockItsOwnerHoldsOffTheBus) {
    // Held a moment by a program that never answers, then free: the dashboard runs.
    reply = {Status::absent, "nothing answers to org.tablora.Tablora on the session bus"};
    later = {{InstanceLock::State::heldElsewhere, 5151, {}}, {InstanceLock::State::held, 0, {}}};
    EXPECT_TRUE(decide({"--preview"}, InstanceLock::State::heldElsewhere).run);
    EXPECT_EQ(handOvers, 2);

    // Held until the time is up: as before, the owner can't be reached.
    later = {{InstanceLock::State::heldElsewhere, 5151, {}}};
    const StartOutcome outcome = decide({"--settings"}, InstanceLock::State::heldElsewhere);
    EXPECT_FALSE(outcome.run);
    EXPECT_EQ(outcome.message.toStdString(),
              "Tablora is already running (process 5151) but can’t be reached: nothing answers "
              "to org.tablora.Tablora on the session bus");

    // A command waits for no lock; without a bus there is no one to wait for.
    later = {{InstanceLock::State::held, 0, {}}};
    EXPECT_FALSE(decide({"--next-page"}, InstanceLock::State::heldElsewhere).run);
    reply = {Status::unreachable, "there is no session bus"};
    EXPECT_FALSE(decide({}, InstanceLock::State::heldElsewhere).run);
    EXPECT_EQ(later.size(), 1);
}

// ---- The data folder's lock

TEST(InstanceLock, OneHolderPerFolderAndTheNextTakesOverWhenItIsGone) {
    QTemporaryDir folder;
    const QString data = folder.filePath("Tarn"); // not there yet: the lock creates it
    auto first = std::make_unique<InstanceLock>(data);
    ASSERT_EQ(first->acquire(), InstanceLock::State::held);
    EXPECT_TRUE(QFileInfo(data).isDir());

    InstanceLock second(data);
    EXPECT_EQ(second.acquire(), InstanceLock::State::heldElsewhere);
    EXPECT_EQ(second.owner(), QCoreApplication::applicationPid());
    EXPECT_EQ(second.takenOver(), "");
    // A command only looks: it never holds the lock, even for a moment.
    InstanceLock command(data);
    EXPECT_EQ(command.look(), InstanceLock::State::heldElsewhere);
    EXPECT_EQ(command.owner(), QCoreApplication::applicationPid());
    first.reset();
    EXPECT_EQ(command.look(), InstanceLock::State::free);
    EXPECT_FALSE(QFileInfo::exists(command.path()));
    EXPECT_EQ(second.acquire(), InstanceLock::State::held);
}

TEST(InstanceLock, AnUnreadableLockOrOneFromAnotherComputerIsTakenOverAndSaysSo) {
    QTemporaryDir folder;
    const QString path = folder.filePath(InstanceLock::fileName);
    // A process that runs (this one, by its own name), but on another computer.
    const QByteArray program =
            QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8();
    const QByteArray elsewhere = QByteArray::number(QCoreApplication::applicationPid()) + "\n" +
                                 program + "\nsome-other-computer\n";
    const QList<std::pair<QByteArray, QString>> cases = {
            {"\x01garbage", "couldn’t be read"},
            {"", "couldn’t be read"},
            {elsewhere, "on some-other-computer, which is no Tablora running on this computer"},
    };
    for (const auto& [contents, said] : cases) {
        writeFile(path, contents);
        InstanceLock lock(folder.path());
        EXPECT_EQ(lock.look(), InstanceLock::State::free);
        EXPECT_EQ(lock.acquire(), InstanceLock::State::held) << contents.toStdString();
        EXPECT_TRUE(lock.takenOver().contains(said)) << lock.takenOver().toStdString();
        EXPECT_TRUE(lock.takenOver().contains(path));
    }
}

TEST(InstanceLock, TheLockOfACrashedRunIsTakenOver) {
    QTemporaryDir folder;
    QProcess finished;
    finished.start("true", {});
    ASSERT_TRUE(finished.waitForStarted(5000));
    const qint64 gone = finished.processId();
    ASSERT_TRUE(finished.waitForFinished(5000));
    // What a run that was killed leaves: its process id, name and host.
    writeFile(folder.filePath(InstanceLock::fileName),
              QByteArray::number(gone) + "\ntablora\n" + QSysInfo::machineHostName().toUtf8() +
                      "\n");
    InstanceLock lock(folder.path());
    EXPECT_EQ(lock.acquire(), InstanceLock::State::held);
    EXPECT_TRUE(lock.takenOver().contains(QString("named process %1 (tablora)").arg(gone)))
            << lock.takenOver().toStdString();
    QFile file(lock.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readLine().trimmed(), QByteArray::number(QCoreApplication::applicationPid()));
}

TEST(InstanceLock, AnotherUsersLockOrAFolderWithoutRoomSayWhy) {
    QTemporaryDir folder;
    // A file where the data folder should be: nothing can be locked there.
    writeFile(folder.filePath("file"), "x");
    InstanceLock nowhere(folder.filePath("file/Tarn"));
    EXPECT_EQ(nowhere.acquire(), InstanceLock::State::unavailable);
    EXPECT_TRUE(nowhere.failure().contains(folder.filePath("file/Tarn")));

    if (geteuid() != 0)
        GTEST_SKIP() << "only root can leave a lock owned by another user";
    // A lock of a process that runs (this one, by its own name), in another user's file.
    const QString path = writeFile(
            folder.filePath(InstanceLock::fileName),
            QByteArray::number(QCoreApplication::applicationPid()) + "\n" +
                    QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + "\n" +
                    QSysInfo::machineHostName().toUtf8() + "\n");
    ASSERT_EQ(chown(path.toLocal8Bit().constData(), 65534, 65534), 0);
    InstanceLock foreign(folder.path());
    EXPECT_EQ(foreign.acquire(), InstanceLock::State::foreign);
    EXPECT_TRUE(foreign.failure().contains("belongs to another user"));
    EXPECT_TRUE(QFileInfo::exists(path)); // left alone
}

} // namespace
