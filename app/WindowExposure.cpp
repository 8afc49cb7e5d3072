#include "WindowExposure.h"

#include <QEvent>
#include <QWindow>

WindowExposure::WindowExposure(QWindow* window, QObject* parent)
    : ViewingSource(QStringLiteral("window"), parent), m_window(window) {
    window->installEventFilter(this);
    connect(window, &QWindow::visibilityChanged, this, &WindowExposure::update);
    update();
}

bool WindowExposure::eventFilter(QObject* watched, QEvent* event) {
    // The window takes in the new exposure after its filters ran.
    if (event->type() == QEvent::Expose)
        QMetaObject::invokeMethod(this, &WindowExposure::update, Qt::QueuedConnection);
    return ViewingSource::eventFilter(watched, event);
}

void WindowExposure::update() {
    if (!m_window) {
        setHides(false);
        return;
    }
    const QWindow::Visibility visibility = m_window->visibility();
    setHides(visibility == QWindow::Hidden || visibility == QWindow::Minimized ||
             !m_window->isExposed());
}
