#include "MouseFallback.h"

#include "touch/DirectTouchController.h"

#include <QCoreApplication>
#include <QMouseEvent>

MouseFallback::MouseFallback(DirectTouchController& touch, QObject* parent)
    : QObject(parent), m_touch(&touch) {
    QCoreApplication::instance()->installEventFilter(this);
}

MouseFallback::~MouseFallback() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool MouseFallback::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseMove && type != QEvent::MouseButtonDblClick)
        return false;
    // Windows see each event first; taking it there keeps it from every widget inside.
    if (!m_touch || !watched->isWindowType())
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const bool synthetic = mouse->source() == Qt::MouseEventSynthesizedByApplication;
    using Kind = DirectTouchController::MouseEvent;
    switch (type) {
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton)
            return false;
        return m_touch->routeFallbackMouse(Kind::down, mouse->globalPosition(), synthetic);
    case QEvent::MouseButtonDblClick:
        // Follows the second press of a double click: part of a contact already under way.
        if (mouse->button() != Qt::LeftButton)
            return false;
        return m_touch->routeFallbackMouse(Kind::dragged, mouse->globalPosition(), synthetic);
    case QEvent::MouseButtonRelease:
        if (mouse->button() != Qt::LeftButton)
            return false;
        return m_touch->routeFallbackMouse(Kind::up, mouse->globalPosition(), synthetic);
    default:
        if (!(mouse->buttons() & Qt::LeftButton))
            return false;
        return m_touch->routeFallbackMouse(Kind::dragged, mouse->globalPosition(), synthetic);
    }
}
