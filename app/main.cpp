#include "AppDelegate.h"
#include "FileDialogChooser.h"
#include "app/linux/LinuxPlatform.h"
#include "app/linux/SleepWatcher.h"
#include "app/linux/TerminationSignals.h"
#include "app/linux/X11ScreenDirectory.h"
#include "dashboard/TarnTheme.h"
#include "widgets/web/WidgetEngine.h"

#include <QApplication>
#include <QDesktopServices>
#include <QQuickWindow>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // The web engine refuses to start its sandbox as root; only then run without it.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Widget pages are drawn by the processor: a dashboard that changes once a second costs less
    // that way than through OpenGL, which on machines without a graphics driver is emulated.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // Widget pages load through their own scheme, which must be known before the application.
    WidgetEngine::prepare();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tablora"));
    QApplication::setOrganizationName(QStringLiteral("Tablora"));
    QApplication::setDesktopFileName(QStringLiteral("tablora"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(TarnTheme::palette());
    // Closing a window is a request the application answers itself.
    QApplication::setQuitOnLastWindowClosed(false);
    TerminationSignals terminationSignals;

    auto screens = std::make_unique<X11ScreenDirectory>();
    X11ScreenDirectory* directory = screens.get();
    AppDelegate::Options options{
            QApplication::arguments(),
            linuxEnvironment({std::make_shared<FileDialogChooser>(),
                              [](const QUrl& url) { return QDesktopServices::openUrl(url); }}),
            std::move(screens), [directory] { directory->refresh(); }};
    AppDelegate delegate(std::move(options));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate.store(), &TarnStore::save);

    SleepWatcher sleep;
    QObject::connect(&sleep, &SleepWatcher::woke, &delegate, &AppDelegate::displaysChanged);
    return QApplication::exec();
}
