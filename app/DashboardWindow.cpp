#include "DashboardWindow.h"

#include "dashboard/TarnTheme.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>

DashboardWindow::DashboardWindow(QWidget* parent) : QMainWindow(parent) {
    setPalette(TarnTheme::palette());
    setAutoFillBackground(true);
}

bool DashboardWindow::isFullScreen() const {
    return windowState().testFlag(Qt::WindowFullScreen);
}

std::optional<quint32> DashboardWindow::currentDisplay() const {
    if (const QScreen* display = screen())
        return displayNumber(display->name());
    return std::nullopt;
}

void DashboardWindow::setMinimumContentSize(const QSizeF& size) {
    // The menu bar sits above the content.
    const int menu = menuBar()->isVisible() ? menuBar()->sizeHint().height() : 0;
    setMinimumSize(qCeil(size.width()), qCeil(size.height()) + menu);
}

void DashboardWindow::showWindowed(const QString& title, const QRectF& contentFrame) {
    setWindowTitle(title);
    menuBar()->show();
    const int menu = menuBar()->sizeHint().height();
    QRect frame = contentFrame.toRect();
    frame.setTop(frame.top() - menu / 2);
    frame.setHeight(qRound(contentFrame.height()) + menu);
    showNormal();
    setGeometry(frame);
    raise();
    activateWindow();
}

void DashboardWindow::enterFullScreen(const QString& title, const ScreenInfo& target) {
    setWindowTitle(title);
    // The menu's shortcuts stay: the actions are also the window's own.
    menuBar()->hide();
    // The screen decides the output: on Wayland a window's position is the compositor's choice.
    winId();
    for (QScreen* candidate : QGuiApplication::screens()) {
        if (candidate->name() == target.name)
            windowHandle()->setScreen(candidate);
    }
    setGeometry(target.frame.toRect());
    showFullScreen();
    raise();
    activateWindow();
    if (!isFullScreen())
        QTimer::singleShot(0, this, &DashboardWindow::fullScreenFailed);
}

void DashboardWindow::fillScreen(const ScreenInfo& screen) {
    // A window manager resizes a full-screen window with its display; without one (a kiosk
    // session) nobody else does.
    // The native window's geometry: the widget's own setter would end full screen.
    const QRect frame = screen.frame.toRect();
    if (windowHandle() && geometry() != frame)
        windowHandle()->setGeometry(frame);
}

void DashboardWindow::exitFullScreen() {
    showNormal();
}

void DashboardWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const bool fullScreen = isFullScreen();
    if (fullScreen == m_wasFullScreen)
        return;
    m_wasFullScreen = fullScreen;
    // Reported from the event loop: a full-screen change always ends after the call that
    // started it, as the window system's would.
    QTimer::singleShot(0, this,
                       fullScreen ? &DashboardWindow::fullScreenEntered
                                  : &DashboardWindow::fullScreenLeft);
    if (!fullScreen)
        menuBar()->show();
}

void DashboardWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit closeRequested();
}
