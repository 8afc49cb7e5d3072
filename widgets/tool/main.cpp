#include "WidgetTool.h"
#include "app/ApplicationPaths.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tablora-widget"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    WidgetTool tool(ApplicationPaths::dataDirectory(), ApplicationPaths::resourcesDirectory(), out,
                    err);
    return tool.run(QCoreApplication::arguments().mid(1));
}
