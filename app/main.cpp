#include "AppDelegate.h"
#include "DashboardWindow.h"
#include "FileDialogChooser.h"
#include "RemoteControl.h"
#include "WindowExposure.h"
#include "dashboard/TarnTheme.h"
#include "desktop/ApplicationLog.h"
#include "desktop/CommandLine.h"
#include "desktop/InstanceLock.h"
#include "desktop/RenderingChoice.h"
#include "desktop/SingleInstance.h"
#include "desktop/ViewingState.h"
#include "desktop/linux/Autostart.h"
#include "desktop/linux/DBusScreenSaver.h"
#include "desktop/linux/LinuxPlatform.h"
#include "desktop/linux/LogindSession.h"
#include "desktop/linux/OpenGLProbe.h"
#include "desktop/linux/SessionBusInstance.h"
#include "desktop/linux/SleepWatcher.h"
#include "desktop/linux/TerminationSignals.h"
#include "desktop/linux/X11ScreenDirectory.h"
#include "desktop/linux/X11ScreenSaver.h"
#include "desktop/linux/X11WindowCover.h"
#include "packages/WidgetLog.h"
#include "settings/PackagePreviews.h"
#include "settings/linux/DesktopSettingsActions.h"
#include "settings/linux/PreviewRenderProcess.h"
#include "store/ApplicationPaths.h"
#include "touch/linux/HidrawDeviceSource.h"
#include "touch/linux/SystemctlServiceControl.h"
#include "widgets/web/WidgetEngine.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <cstdio>

namespace {

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

QStringList commandArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int index = 1; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    return arguments;
}

int setStartAtLogin(bool on) {
    Autostart autostart;
    const QString failure = autostart.setEnabled(on);
    if (!failure.isEmpty()) {
        print(stderr, QStringLiteral("tablora: %1\n").arg(failure));
        return 1;
    }
    print(stdout,
          on ? QStringLiteral("Tablora starts when you log in (%1).\n").arg(autostart.entryPath())
             : QStringLiteral("Tablora no longer starts when you log in.\n"));
    return 0;
}

std::unique_ptr<DrmScreenDirectory> screenDirectory() {
    if (QGuiApplication::platformName() == QStringLiteral("xcb"))
        return std::make_unique<X11ScreenDirectory>();
    return std::make_unique<DrmScreenDirectory>();
}

void logStart(const QString& dataFolder, const InstanceLock& lock, InstanceLock::State state) {
    qCInfo(tabloraLog).noquote()
            << QStringLiteral("%1 started (process %2) on the %3 platform, %4 session")
                       .arg(CommandLine::version())
                       .arg(QCoreApplication::applicationPid())
                       .arg(QGuiApplication::platformName(),
                            qEnvironmentVariable("XDG_SESSION_TYPE", QStringLiteral("unknown")));
    qCInfo(tabloraLog).noquote() << "Data folder" << dataFolder << "- resources"
                                 << ApplicationPaths::resourcesDirectory();
    if (!lock.takenOver().isEmpty())
        qCWarning(tabloraLog).noquote() << lock.takenOver();
    if (state == InstanceLock::State::unavailable)
        qCWarning(tabloraLog).noquote()
                << "Running without the one-dashboard lock:" << lock.failure();
}

// Widget pages through OpenGL on a hardware driver, drawn by the processor otherwise.
void chooseRendering() {
    const QString forced = qEnvironmentVariable(RenderingChoice::variable);
    QElapsedTimer probing;
    probing.start();
    const auto renderer = RenderingChoice::isForced(forced) ? std::nullopt : openGLRenderer();
    const QString probeTime = QString::number(double(probing.nsecsElapsed()) / 1e6, 'f', 1);
    const RenderingChoice::Choice choice = RenderingChoice::choose(forced, renderer);
    if (choice.warning)
        qCWarning(tabloraLog).noquote() << *choice.warning;
    const bool openGL = choice.rendering == RenderingChoice::Rendering::openGL;
    WidgetEngine::drawThroughOpenGL(openGL);
    qCInfo(tabloraLog).noquote() << QStringLiteral("Widget pages drawn %1 (%2; %3 ms)")
                                            .arg(openGL ? QStringLiteral("through OpenGL")
                                                        : QStringLiteral("by the processor"),
                                                 choice.reason)
                                            .arg(probeTime);
}

// Widgets rest while nobody can see the dashboard: the window hidden or covered, the screen saver
// on, the monitors off, the session locked or idle.
void followViewing(ViewingState& viewing, AppDelegate& delegate) {
    DashboardWindow& window = delegate.window();
    // Makes the native window, so there is a handle to watch.
    const WId id = window.winId();
    viewing.addSource(new WindowExposure(window.windowHandle(), &viewing));
    const QDBusConnection session = QDBusConnection::sessionBus();
    viewing.addSource(new DBusScreenSaver(session, DBusScreenSaver::freedesktop(), &viewing));
    viewing.addSource(new DBusScreenSaver(session, DBusScreenSaver::gnome(), &viewing));
    viewing.addSource(new LogindSession(QDBusConnection::systemBus(), &viewing));
    if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
        auto* x11 = new X11ScreenSaver({}, &viewing);
        // The monitors' power is asked at the heartbeat, so it wakes nothing of its own.
        QObject::connect(&delegate.store(), &TarnStore::nowChanged, x11,
                         &X11ScreenSaver::pollPower);
        viewing.addSource(x11);
        viewing.addSource(new X11WindowCover(quint32(id), {}, &viewing));
    }
    TarnStore& store = delegate.store();
    const auto follow = [&viewing, &store](bool someoneLooks) {
        if (someoneLooks)
            qCInfo(tabloraLog).noquote() << "The dashboard is seen again";
        else
            qCInfo(tabloraLog).noquote() << "Nobody sees the dashboard:"
                                         << viewing.hiddenBy().join(QStringLiteral(", "));
        store.setWatched(someoneLooks);
    };
    QObject::connect(&viewing, &ViewingState::someoneLooksChanged, &store, follow);
    if (!viewing.someoneLooks())
        follow(false);
    // The desktop never sees the bar's touches, so a touch on a blanked bar wakes it from here.
    QObject::connect(&delegate.touch(), &DirectTouchController::touched, &viewing, [&viewing] {
        if (!viewing.someoneLooks())
            viewing.wake();
    });
}

// The dashboard's run: the window, the store and the remote control, until the user quits.
int runDashboard(int argc, char* argv[], const CommandLine& command, const QString& dataFolder,
                 InstanceLock& lock, InstanceLock::State lockState) {
    ApplicationLog log(dataFolder);
    log.install(command.verbose);
    // Widget pages' consoles go to their own logs, and to the terminal as well when asked.
    WidgetLog::setEcho(command.verbose);
    // Widget pages load through their own scheme, which must be known before the application.
    WidgetEngine::prepareProgram(command.verbose);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tablora"));
    QApplication::setOrganizationName(QStringLiteral("Tablora"));
    QApplication::setApplicationVersion(QStringLiteral(TABLORA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tablora"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(TarnTheme::palette());
    // Closing a window is a request the application answers itself.
    QApplication::setQuitOnLastWindowClosed(false);
    TerminationSignals terminationSignals;
    logStart(dataFolder, lock, lockState);
    chooseRendering();

    // Owned before the dashboard exists, so a second start finds it at once; commands wait in
    // the bus until the event loop runs.
    AppDelegate* running = nullptr;
    SessionBusControl control(dataFolder, [&running](const QStringList& arguments) {
        const auto parsed = CommandLine::parse(arguments);
        if (const QString* error = std::get_if<QString>(&parsed))
            return *error;
        qCInfo(tabloraLog).noquote()
                << "Command from a second start:"
                << (arguments.isEmpty() ? QStringLiteral("(none: show the dashboard)")
                                        : arguments.join(QLatin1Char(' ')));
        const QString failure = running ? runCommand(*running, std::get<CommandLine>(parsed))
                                        : QStringLiteral("Tablora is still starting");
        if (!failure.isEmpty())
            qCInfo(tabloraLog).noquote() << "Refused:" << failure;
        return failure;
    });
    if (control.start())
        qCInfo(tabloraLog).noquote()
                << "Remote control on the session bus as" << SessionBusInstance::service;
    else
        qCWarning(tabloraLog).noquote() << "No remote control:" << control.failure();

    auto screens = screenDirectory();
    DrmScreenDirectory* directory = screens.get();
    QStringList reported;
    const auto refreshScreens = [directory, &reported] {
        directory->refresh();
        if (directory->report() == reported)
            return;
        reported = directory->report();
        for (const QString& line : reported)
            qCInfo(tabloraLog).noquote() << "Screen" << line;
    };
    refreshScreens();
    TarnStore::Environment environment =
            linuxEnvironment({std::make_shared<FileDialogChooser>(),
                              [](const QUrl& url) { return QDesktopServices::openUrl(url); }});
    environment.directory = dataFolder;
    auto startAtLogin = std::make_shared<Autostart>();
    // The settings' switch shows the entry as it is, whoever changed it.
    startAtLogin->follow();
    environment.startAtLogin = std::move(startAtLogin);
    AppDelegate::Options options{QApplication::arguments(), std::move(environment),
                                 std::move(screens), refreshScreens};
    options.touch.devices = std::make_unique<HidrawDeviceSource>();
    options.touch.services = std::make_unique<SystemctlServiceControl>();
    options.settingsDesktop =
            std::make_shared<DesktopSettingsActions>(ApplicationPaths::resourcesDirectory());
    // The render program is installed beside this one.
    options.previews = std::make_shared<PackagePreviews>(
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                    QStringLiteral("/Tablora/previews"),
            previewRenderProcess(QCoreApplication::applicationDirPath() +
                                 QStringLiteral("/tablora-widget-render")));
    AppDelegate delegate(std::move(options));
    running = &delegate;
    if (command.action == CommandLine::Action::settings)
        runCommand(delegate, command);

    ViewingState viewing;
    followViewing(viewing, delegate);
    SleepWatcher sleep;
    QObject::connect(&sleep, &SleepWatcher::woke, &delegate, &AppDelegate::displaysChanged);
    // Pages count on the heartbeat for the time, and their own clocks stood still in the sleep:
    // the time of now at once, not at the next beat.
    TarnStore& store = delegate.store();
    QObject::connect(&sleep, &SleepWatcher::woke, &store,
                     [&store] { store.tick(store.clock().now()); });
    const int status = QApplication::exec();
    running = nullptr;
    qCInfo(tabloraLog) << "Quit";
    return status;
}

} // namespace

int main(int argc, char* argv[]) {
    const QStringList arguments = commandArguments(argc, argv);
    const auto parsed = CommandLine::parse(arguments);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        print(stderr, CommandLine::misuse(QStringLiteral("tablora"), *error));
        return CommandLine::misuseStatus;
    }
    const CommandLine command = std::get<CommandLine>(parsed);
    switch (command.action) {
    case CommandLine::Action::help:
        print(stdout, CommandLine::usage());
        return 0;
    case CommandLine::Action::version:
        print(stdout, CommandLine::version() + QLatin1Char('\n'));
        return 0;
    case CommandLine::Action::autostart:
        return setStartAtLogin(command.autostart);
    default:
        break;
    }

    const QString dataFolder = ApplicationPaths::dataDirectory();
    InstanceLock lock(dataFolder);
    const auto reading = [&lock](InstanceLock::State state) {
        return LockReading{state, lock.owner(), lock.failure()};
    };
    // Only a dashboard takes the lock: a command that held it even for a moment would turn a
    // dashboard starting meanwhile away.
    const bool dashboard = !command.needsRunningDashboard();
    LockReading found = reading(dashboard ? lock.acquire() : lock.look());
    const QDeadlineTimer deadline(InstanceChannel::timeLimitMs);
    // The bus needs an application object; a second start needs no more than that. Its
    // connection is a private one, which a dashboard that then runs closes before its own run:
    // the shared one would not serve the dashboard's remote control once this object is gone.
    std::unique_ptr<QCoreApplication> messenger;
    const QString handOverConnection = QStringLiteral("hand-over");
    const auto handOver = [&] {
        if (!messenger)
            messenger = std::make_unique<QCoreApplication>(argc, argv);
        const QDBusConnection bus =
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, handOverConnection);
        return SessionBusChannel(dataFolder, deadline, bus).send(arguments);
    };
    const auto lockAgain = [&]() -> std::optional<LockReading> {
        if (deadline.hasExpired())
            return std::nullopt;
        found = reading(lock.acquire());
        return found;
    };
    const StartOutcome outcome = decideStart(command, found, handOver, lockAgain);
    if (!outcome.run) {
        if (!outcome.message.isEmpty())
            print(outcome.exitCode == 0 ? stdout : stderr,
                  (outcome.exitCode == 0 ? outcome.message
                                         : QStringLiteral("tablora: ") + outcome.message) +
                          QLatin1Char('\n'));
        return outcome.exitCode;
    }
    // A dashboard that waited for the lock runs with an application object of its own.
    if (messenger) {
        QDBusConnection::disconnectFromBus(handOverConnection);
        messenger.reset();
    }
    return runDashboard(argc, argv, command, dataFolder, lock, found.state);
}
