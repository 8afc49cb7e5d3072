// Runs the real program: a first start in an empty data folder and a quit by signal; second starts
// that hand their command line to the first over a private session bus, or find it hung or
// gone; the options that need no display; and the preview on a headless Wayland compositor.
#include "model/Preferences.h"
#include "support/EventLoop.h"
#include "support/OneWidgetPages.h"
#include "support/PrivateBus.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace {

struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};

// A session of the program's own: its data, config and runtime folders, no display but the
// offscreen one, and the given session bus (none by default).
struct Session {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    explicit Session(const QString& bus = QStringLiteral("unix:path=/nonexistent")) {
        QDir(home.path()).mkdir("runtime");
        QFile::setPermissions(home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert("HOME", home.path());
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
        // In the sanitizer build: the web engine's own mismatched deletes at exit are not ours.
        if (environment.contains("ASAN_OPTIONS"))
            environment.insert("ASAN_OPTIONS",
                               environment.value("ASAN_OPTIONS") + ":new_delete_type_mismatch=0");
    }

    QString data(const QString& file) const { return home.filePath("data/Tarn/" + file); }

    QString log() const {
        QFile file(data("tablora.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    std::unique_ptr<QProcess> start(const QStringList& arguments) const {
        auto program = std::make_unique<QProcess>();
        program->setProcessEnvironment(environment);
        program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        program->start(TABLORA_EXECUTABLE, arguments);
        EXPECT_TRUE(program->waitForStarted());
        return program;
    }

    Finished run(const QStringList& arguments,
                 const QProcessEnvironment& changed = QProcessEnvironment(),
                 const QString& executable = TABLORA_EXECUTABLE) const {
        QProcess program;
        QProcessEnvironment own = environment;
        for (const QString& key : changed.keys())
            own.insert(key, changed.value(key));
        program.setProcessEnvironment(own);
        program.setWorkingDirectory(home.path());
        program.start(executable, arguments);
        if (!program.waitForFinished(20000)) {
            program.kill();
            program.waitForFinished();
            ADD_FAILURE() << "tablora " << arguments.join(' ').toStdString() << " did not end";
        }
        return {program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()),
                QString::fromUtf8(program.readAllStandardError())};
    }

    std::optional<Board> savedBoard() const {
        QFile written(data("preferences.json"));
        if (!written.open(QIODevice::ReadOnly))
            return std::nullopt;
        return Preferences::fromJson(written.readAll()).board;
    }
};

TEST(Application, FirstStartWritesThePagesAndQuittingSavesThem) {
    Session session;
    // A lock file that can't be read is no dashboard running.
    writeFile(session.data("tablora.lock"), "\x01garbage");
    auto program = session.start({"--preview"});
    const QString preferences = session.data("preferences.json");
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(preferences); }, 15000));
    QFile written(preferences);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const Preferences first = Preferences::fromJson(written.readAll());
    written.close();
    EXPECT_EQ(first.pageCount, 3);
    EXPECT_EQ(first.board, Board::overview);
    EXPECT_EQ(first.pageLayouts.keys(), QStringList({"Focus", "Overview", "System"}));

    // Quitting writes the preferences again, so a file removed meanwhile comes back.
    ASSERT_TRUE(QFile::remove(preferences));
    program->terminate();
    ASSERT_TRUE(program->waitForFinished(10000));
    EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program->exitCode(), 0);
    EXPECT_TRUE(QFile::exists(preferences));
    // The lock goes with the program; the log tells what it decided.
    EXPECT_FALSE(QFile::exists(session.data("tablora.lock")));
    const QString log = session.log();
    EXPECT_TRUE(log.contains("Dashboard in the window preview, as asked")) << log.toStdString();
    EXPECT_TRUE(log.contains("No remote control: there is no session bus"));
    EXPECT_TRUE(log.contains(" Quit\n"));
    EXPECT_TRUE(log.contains("tablora.lock couldn’t be read: taken over\n")) << log.toStdString();
}

TEST(Application, ASignalEndsTheRunWithTheSettingsWindowOpen) {
    Session session;
    auto program = session.start({"--settings", "layouts"});
    const QString preferences = session.data("preferences.json");
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(preferences); }, 15000));
    ASSERT_TRUE(QFile::remove(preferences));
    program->terminate();
    ASSERT_TRUE(program->waitForFinished(10000));
    EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program->exitCode(), 0);
    EXPECT_TRUE(QFile::exists(preferences));
}

TEST(Application, ASecondStartHandsItsCommandLineToTheFirst) {
    PrivateBus bus;
    Session session(bus.address());
    // One widget page: the dashboard reloads its widgets twice below, and answers each second
    // start within its time limit however busy the machine is.
    writeOneWidgetPages(session.home.filePath("data/Tarn"));
    // A program that holds the lock for a moment, off the bus, doesn't turn the first start away.
    QProcess brief;
    brief.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    brief.start(TABLORA_HUNG_DASHBOARD,
                {bus.address(), session.home.filePath("data/Tarn"), "1500"});
    ASSERT_TRUE(brief.waitForReadyRead(10000));
    auto first = session.start({"--preview"});
    ASSERT_TRUE(waitUntil([&] { return session.log().contains("Remote control on the session"); },
                          15000));
    const QString running =
            QStringLiteral("Tablora is already running (process %1)\n").arg(first->processId());

    Finished second = session.run({});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.out, "Tablora is already running; showed its window\n");

    second = session.run({"--page", "2"});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.out + second.err, "");
    EXPECT_TRUE(waitUntil([&] { return session.savedBoard() == Board::focus; }, 5000));

    second = session.run({"--page", "5"});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(second.err, "tablora: there is no page 5: the dashboard has 3 pages\n");

    second = session.run({"--notify", "Build finished"});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(session.log().contains("Command from a second start: --notify Build finished"));

    // The widget tool tells the dashboard to read the packages again after install and remove.
    const auto tool = [&](const QStringList& arguments) {
        return session.run(arguments, {}, TABLORA_WIDGET);
    };
    ASSERT_EQ(tool({"new", "com.example.hello"}).exitCode, 0);
    second = tool({"install", "com.example.hello.tarnwidget"});
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains("\nThe running dashboard reloaded its widgets.\n"))
            << second.out.toStdString();
    second = tool({"remove", "com.example.hello"});
    EXPECT_EQ(second.out,
              "removed com.example.hello: its folder is in the Trash, at " +
                      session.home.filePath("data/Trash/files/com.example.hello.tarnwidget") +
                      "\nThe running dashboard reloaded its widgets.\n");
    EXPECT_EQ(session.log().count("Command from a second start: --reload-widgets"), 2);

    // A wrong command line never reaches the dashboard.
    second = session.run({"--page", "0"});
    EXPECT_EQ(second.exitCode, 2);
    EXPECT_EQ(second.err, "tablora: --page takes a page number from 1 to 8, not '0'\n"
                          "Try 'tablora --help'.\n");

    // Without the bus the lock still keeps a second dashboard out.
    QProcessEnvironment noBus;
    noBus.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    second = session.run({}, noBus);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.out, running);
    second = session.run({"--next-page"}, noBus);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.contains("but can’t be reached: there is no session bus"))
            << second.err.toStdString();

    EXPECT_EQ(brief.state(), QProcess::NotRunning);

    // A dashboard that crashed leaves its lock behind; a command knows it runs no more.
    first->kill();
    first->waitForFinished();
    EXPECT_TRUE(QFile::exists(session.data("tablora.lock")));
    second = session.run({"--next-page"});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(second.err, "tablora: Tablora is not running\n");
    EXPECT_EQ(session.savedBoard(), Board::focus); // nothing lost
}

TEST(Application, AHungDashboardGetsATimeLimitAndAClearMessage) {
    PrivateBus bus;
    Session session(bus.address());
    QProcess hung;
    hung.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    hung.start(TABLORA_HUNG_DASHBOARD, {bus.address(), session.home.filePath("data/Tarn")});
    ASSERT_TRUE(hung.waitForReadyRead(10000));

    QElapsedTimer clock;
    clock.start();
    const Finished second = session.run({"--page", "1"});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(second.err.toStdString(),
              QStringLiteral("tablora: Tablora is already running (process %1) but didn’t answer "
                             "within 5 seconds\n")
                      .arg(hung.processId())
                      .toStdString());
    EXPECT_LT(clock.elapsed(), 9000);
    hung.kill();
    hung.waitForFinished();
}

TEST(Application, HelpVersionAndStartAtLoginNeedNoDisplay) {
    Session session;
    // A display that isn't there: anything that opened a window would fail.
    QProcessEnvironment x11;
    x11.insert("QT_QPA_PLATFORM", "xcb");
    Finished finished = session.run({"--help"}, x11);
    EXPECT_EQ(finished.exitCode, 0);
    EXPECT_TRUE(finished.out.startsWith("Usage: tablora [OPTION]\n"));
    finished = session.run({"--version"}, x11);
    EXPECT_EQ(finished.exitCode, 0);
    EXPECT_EQ(finished.out, "tablora " TABLORA_VERSION "\n");
    finished = session.run({"--bogus"}, x11);
    EXPECT_EQ(finished.exitCode, 2);
    EXPECT_EQ(finished.err, "tablora: unknown option '--bogus'\nTry 'tablora --help'.\n");

    const QString entry = session.home.filePath("config/autostart/tablora.desktop");
    finished = session.run({"--autostart", "on"}, x11);
    EXPECT_EQ(finished.exitCode, 0) << finished.err.toStdString();
    QFile written(entry);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("\nExec=" TABLORA_EXECUTABLE "\n"));
    finished = session.run({"--autostart", "off"}, x11);
    EXPECT_EQ(finished.exitCode, 0);
    EXPECT_FALSE(QFile::exists(entry));
    // A command for a dashboard that isn't there only looks at the lock.
    finished = session.run({"--next-page"}, x11);
    EXPECT_EQ(finished.exitCode, 1);
    EXPECT_EQ(finished.err, "tablora: Tablora is not running\n");
    // None of these took the data folder's lock or started a dashboard.
    EXPECT_FALSE(QFileInfo::exists(session.home.filePath("data/Tarn")));
}

// ---- A Wayland session: weston's headless backend and Qt's Wayland platform

// The centre of the output shows the dashboard's dark ground, not the compositor's grey, and
// the widget pages drew their figures in the accent colour.
bool showsDashboard(const QString& screenshot) {
    const QImage image(screenshot);
    if (image.isNull())
        return false;
    const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
    const QColor corner = image.pixelColor(image.width() - 5, image.height() - 5);
    int accent = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QColor pixel = image.pixelColor(x, y);
            accent += qAbs(pixel.red() - 0xAD) + qAbs(pixel.green() - 0xEB) +
                              qAbs(pixel.blue() - 0xBF) <
                      30;
        }
    }
    return centre.lightness() < 40 && corner.lightness() > 60 && accent > 200;
}

TEST(Application, ThePreviewShowsOnAWaylandCompositorAndQuitsCleanly) {
    Session session;
    const QString socket =
            QStringLiteral("tablora-test-%1").arg(QCoreApplication::applicationPid());
    QProcess weston;
    weston.setProcessEnvironment(session.environment);
    weston.setProcessChannelMode(QProcess::MergedChannels);
    weston.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    weston.start("weston", {"--backend=headless-backend.so", "--use-pixman", "--no-config",
                            "--socket=" + socket, "--width=1920", "--height=1080", "--debug",
                            "--idle-time=0"});
    ASSERT_TRUE(weston.waitForStarted(5000)) << "weston is missing (Debian package weston)";
    const QString runtime = session.home.filePath("runtime");
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(runtime + "/" + socket); }, 10000));

    QProcessEnvironment& environment = session.environment;
    environment.insert("QT_QPA_PLATFORM", "wayland");
    environment.insert("WAYLAND_DISPLAY", socket);
    // The compositor's graphics libraries keep allocations to the end; not ours to check.
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    auto program = session.start({"--preview"});
    ASSERT_TRUE(waitUntil([&] { return session.log().contains("Dashboard in the window preview"); },
                          20000))
            << session.log().toStdString();
    EXPECT_TRUE(session.log().contains("on the wayland platform"));

    const QString shot = session.home.filePath("shot");
    QDir().mkpath(shot);
    const auto screenshot = [&] {
        QProcess shooter;
        shooter.setProcessEnvironment(environment);
        shooter.setWorkingDirectory(shot);
        shooter.start("weston-screenshooter", {});
        if (!shooter.waitForFinished(10000))
            shooter.kill();
        const QStringList taken = QDir(shot).entryList({"*.png"}, QDir::Files, QDir::Time);
        return taken.isEmpty() ? QString() : QDir(shot).filePath(taken.first());
    };
    EXPECT_TRUE(waitUntil([&] { return showsDashboard(screenshot()); }, 30000));

    program->terminate();
    ASSERT_TRUE(program->waitForFinished(15000));
    EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program->exitCode(), 0);
    EXPECT_TRUE(QFile::exists(session.data("preferences.json")));
    weston.terminate();
    weston.waitForFinished(5000);
}

} // namespace
