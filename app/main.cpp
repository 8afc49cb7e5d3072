#include "DashboardWindow.h"
#include "FileDialogChooser.h"
#include "TarnStore.h"
#include "app/linux/LinuxPlatform.h"
#include "app/linux/TerminationSignals.h"
#include "widgets/web/WidgetSchemeHandler.h"

#include <QApplication>
#include <QDesktopServices>

int main(int argc, char* argv[]) {
    // Widget pages load through their own scheme, which must be known before the application.
    WidgetSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tablora"));
    QApplication::setOrganizationName(QStringLiteral("Tablora"));
    QApplication::setDesktopFileName(QStringLiteral("tablora"));
    // The last window closing ends the run.
    QApplication::setQuitOnLastWindowClosed(true);
    TerminationSignals terminationSignals;

    TarnStore store(linuxEnvironment({std::make_shared<FileDialogChooser>(), [](const QUrl& url) {
                                          return QDesktopServices::openUrl(url);
                                      }}));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &store, &TarnStore::save);

    DashboardWindow window;
    window.showPreview();
    return QApplication::exec();
}
