#include "WidgetTool.h"
#include "store/ApplicationPaths.h"
#include "app/linux/LinuxPlatform.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // The same settings as the dashboard's.
    QCoreApplication::setApplicationName(QStringLiteral("Tablora"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tablora"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    WidgetTool tool(ApplicationPaths::dataDirectory(), ApplicationPaths::resourcesDirectory(), out,
                    err, [] { return linuxEnvironment({}); });
    return tool.run(QCoreApplication::arguments().mid(1));
}
