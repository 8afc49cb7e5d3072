#include "DashboardWindow.h"
#include "TarnStore.h"
#include "app/linux/CanberraSound.h"
#include "app/linux/DesktopAppLauncher.h"
#include "app/linux/TerminationSignals.h"
#include "integrations/linux/LinuxMachineReadings.h"
#include "widgets/web/WidgetSchemeHandler.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Widget pages load through their own scheme, which must be known before the application.
    WidgetSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tablora"));
    QApplication::setDesktopFileName(QStringLiteral("tablora"));
    // The last window closing ends the run.
    QApplication::setQuitOnLastWindowClosed(true);
    TerminationSignals terminationSignals;

    TarnStore::Environment environment;
    environment.launcher = std::make_shared<DesktopAppLauncher>();
    environment.sound = std::make_shared<CanberraSound>();
    environment.readings = std::make_unique<LinuxMachineReadings>();
    TarnStore store(std::move(environment));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &store, &TarnStore::save);

    DashboardWindow window;
    window.showPreview();
    return QApplication::exec();
}
