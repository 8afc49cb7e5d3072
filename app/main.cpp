#include "DashboardWindow.h"
#include "TarnStore.h"
#include "app/linux/CanberraSound.h"
#include "app/linux/DesktopAppLauncher.h"
#include "app/linux/TerminationSignals.h"
#include "integrations/linux/LinuxMachineReadings.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// Installed, the resources sit in <prefix>/share/tablora; in the build tree, in the sources.
QString resourcesDirectory() {
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                      .filePath(QStringLiteral("../share/tablora"));
    if (QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
    return QStringLiteral(TABLORA_SOURCE_RESOURCES);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tablora"));
    QApplication::setDesktopFileName(QStringLiteral("tablora"));
    // The last window closing ends the run.
    QApplication::setQuitOnLastWindowClosed(true);
    TerminationSignals terminationSignals;

    TarnStore::Environment environment;
    environment.resources = resourcesDirectory();
    environment.launcher = std::make_shared<DesktopAppLauncher>();
    environment.sound = std::make_shared<CanberraSound>();
    environment.readings = std::make_unique<LinuxMachineReadings>();
    TarnStore store(std::move(environment));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &store, &TarnStore::save);

    DashboardWindow window;
    window.showPreview();
    return QApplication::exec();
}
