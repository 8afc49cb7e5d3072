#include "DashboardWindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tablora"));
    QApplication::setDesktopFileName(QStringLiteral("tablora"));
    // The last window closing ends the run.
    QApplication::setQuitOnLastWindowClosed(true);

    DashboardWindow window;
    window.showPreview();
    return QApplication::exec();
}
