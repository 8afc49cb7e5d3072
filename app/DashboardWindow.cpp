#include "DashboardWindow.h"

#include "dashboard/TarnTheme.h"

#include <QAction>
#include <QApplication>
#include <QScreen>

DashboardWindow::DashboardWindow(QWidget* parent) : QMainWindow(parent) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, TarnTheme::background());
    setPalette(colours);
    setAutoFillBackground(true);

    auto* quit = new QAction(tr("Quit Tablora"), this);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit);
    addAction(quit);
}

void DashboardWindow::showPreview() {
    setWindowTitle(QStringLiteral("Tablora — Preview"));
    resize(previewSize);
    if (const QScreen* display = screen())
        move(display->availableGeometry().center() - rect().center());
    showNormal();
    raise();
    activateWindow();
}
