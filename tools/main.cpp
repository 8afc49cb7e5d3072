#include "WidgetTool.h"
#include "desktop/CommandLine.h"
#include "desktop/InstanceLock.h"
#include "desktop/linux/LinuxPlatform.h"
#include "desktop/linux/SessionBusInstance.h"
#include "desktop/linux/TerminationSignals.h"
#include "store/ApplicationPaths.h"
#include "tools/DevSession.h"
#include "tools/ToolEngine.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <pwd.h>
#include <unistd.h>

namespace {

// The name to put in a new package: the full name of the account, else its login.
QString userName() {
    const passwd* account = ::getpwuid(::getuid());
    if (!account)
        return qEnvironmentVariable("USER");
    const QString fullName =
            QString::fromLocal8Bit(account->pw_gecos).section(QLatin1Char(','), 0, 0);
    return fullName.trimmed().isEmpty() ? QString::fromLocal8Bit(account->pw_name)
                                        : fullName.trimmed();
}

// The dashboard that holds the data folder's lock, told over the session bus what
// "tablora --reload-widgets" tells it.
DashboardRescan rescanRunningDashboard(const QString& dataFolder) {
    using Outcome = DashboardRescan::Outcome;
    if (InstanceLock(dataFolder).look() != InstanceLock::State::heldElsewhere)
        return {Outcome::notRunning, {}};
    const InstanceChannel::Reply reply =
            SessionBusChannel(dataFolder).send({QStringLiteral("--reload-widgets")});
    switch (reply.status) {
    case InstanceChannel::Reply::Status::done:
        return {Outcome::done, {}};
    case InstanceChannel::Reply::Status::noAnswer:
        return {Outcome::failed, QStringLiteral("it didn’t answer")};
    default:
        return {Outcome::failed, reply.message};
    }
}

void setApplicationNames() {
    // The same settings as the dashboard's.
    QCoreApplication::setApplicationName(QStringLiteral("Tablora"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tablora"));
}

// "dev" needs a window, hence its own application object; its command line is checked first,
// so a wrong one is answered without a display.
int runDev(int argc, char* argv[], const QStringList& arguments, QTextStream& out,
           QTextStream& err) {
    const auto request = WidgetTool::devRequest(arguments.mid(1));
    if (const QString* error = std::get_if<QString>(&request)) {
        err << CommandLine::misuse(QLatin1String(WidgetTool::program), *error);
        return CommandLine::misuseStatus;
    }
    const auto& dev = std::get<WidgetTool::DevRequest>(request);
    if (!QFileInfo(dev.folder).isDir()) {
        err << dev.folder << " is not a folder\n";
        return 1;
    }
    ToolEngine::prepare();
    QApplication app(argc, argv);
    setApplicationNames();
    TerminationSignals stop;
    DevSession session(dev.folder, dev.size, linuxEnvironment({}),
                       ApplicationPaths::dataDirectory(), out, err);
    session.window().show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int index = 1; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool help = arguments.contains(QStringLiteral("--help")) ||
                      arguments.contains(QStringLiteral("-h"));
    if (arguments.value(0) == QStringLiteral("dev") && !help)
        return runDev(argc, argv, arguments, out, err);

    QCoreApplication app(argc, argv);
    setApplicationNames();
    WidgetToolOptions options;
    options.author = userName();
    options.terminal = ::isatty(STDOUT_FILENO) == 1;
    const QString dataFolder = ApplicationPaths::dataDirectory();
    options.rescanDashboard = [dataFolder] { return rescanRunningDashboard(dataFolder); };
    WidgetTool tool(
            dataFolder, ApplicationPaths::resourcesDirectory(), out, err,
            [] { return linuxEnvironment({}); }, options);
    return tool.run(arguments);
}
