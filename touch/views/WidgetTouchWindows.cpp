#include "WidgetTouchWindows.h"

#include "touch/views/TouchControls.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWidget>
#include <QWindow>
#include <cmath>

namespace {

QWidget* widget(QObject* object) {
    return qobject_cast<QWidget*>(object);
}

bool takesTouches(const QWidget* window) {
    return window->isWindow() && window->windowType() != Qt::ToolTip &&
           !window->testAttribute(Qt::WA_TransparentForMouseEvents);
}

// Points per step of the scroll bar: item views may scroll by whole rows.
double pointsPerStep(const QAbstractScrollArea* area) {
    const auto* items = qobject_cast<const QAbstractItemView*>(area);
    if (items && items->verticalScrollMode() == QAbstractItemView::ScrollPerItem) {
        const int row = items->sizeHintForRow(0);
        return row > 0 ? row : 1;
    }
    return 1;
}

constexpr const char* scrollRemainder = "tabloraTouchScrollRemainder";

} // namespace

WidgetTouchWindows::WidgetTouchWindows(QObject* parent) : QObject(parent) {
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &WidgetTouchWindows::activated);
}

void WidgetTouchWindows::activated(QWindow* window) {
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
        if (candidate->windowHandle() != window || !window)
            continue;
        m_activation.removeAll(candidate);
        m_activation.prepend(candidate);
    }
    m_activation.removeAll(nullptr);
}

QList<QObject*> WidgetTouchWindows::windowsFrontToBack() const {
    QList<QObject*> windows;
    for (const QPointer<QWidget>& window : m_activation) {
        if (window && takesTouches(window))
            windows.append(window);
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (takesTouches(window) && !windows.contains(window))
            windows.append(window);
    }
    return windows;
}

QObject* WidgetTouchWindows::windowOf(QObject* view) const {
    QWidget* inside = widget(view);
    return inside ? inside->window() : nullptr;
}

bool WidgetTouchWindows::isShown(QObject* window) const {
    const QWidget* shown = widget(window);
    return shown && shown->isVisible() && !shown->isMinimized();
}

QRectF WidgetTouchWindows::frame(QObject* window) const {
    const QWidget* framed = widget(window);
    return framed ? QRectF(framed->frameGeometry()) : QRectF();
}

QObject* WidgetTouchWindows::modalWindow() const {
    return QApplication::activeModalWidget();
}

QObject* WidgetTouchWindows::sheet(QObject* window) const {
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
        const QWidget* owner = candidate->parentWidget();
        if (owner && owner->window() == window && candidate->isVisible() &&
            (candidate->windowType() == Qt::Dialog || candidate->windowType() == Qt::Sheet))
            return candidate;
    }
    return nullptr;
}

SurfaceGeometry WidgetTouchWindows::geometry(QObject* view) const {
    const QWidget* inside = widget(view);
    if (!inside || !inside->window()->isVisible())
        return {};
    const QWidget* window = inside->window();
    return {window->mapToGlobal(QPointF(0, 0)), inside->mapTo(window, QPointF(0, 0))};
}

TouchWindows::ScrollTargets WidgetTouchWindows::scrollTargetsAt(QObject* view,
                                                                QPointF screenPoint) const {
    QWidget* window = widget(windowOf(view));
    if (!window)
        return {};
    QWidget* hit = window->childAt(window->mapFromGlobal(screenPoint).toPoint());
    ScrollTargets targets;
    for (QWidget* at = hit ? hit : window; at; at = at->parentWidget()) {
        if (!targets.scrollArea && qobject_cast<QAbstractScrollArea*>(at))
            targets.scrollArea = at;
        if (!targets.page && dynamic_cast<TouchScrollTarget*>(at))
            targets.page = at;
    }
    return targets;
}

void WidgetTouchWindows::scroll(QObject* scrollArea, double delta) {
    auto* area = qobject_cast<QAbstractScrollArea*>(scrollArea);
    if (!area)
        return;
    // Scroll bars move in whole steps: what is left over is kept for the next call.
    const double step = pointsPerStep(area);
    const double total = area->property(scrollRemainder).toDouble() + delta / step;
    const double whole = std::trunc(total);
    QScrollBar* bar = area->verticalScrollBar();
    bar->setValue(bar->value() + int(whole));
    area->setProperty(scrollRemainder, total - whole);
}

void WidgetTouchWindows::scrollPage(QObject* page, QPointF screenPoint, double delta) {
    QWidget* view = widget(page);
    if (auto* target = dynamic_cast<TouchScrollTarget*>(view))
        target->scroll(view->mapFromGlobal(screenPoint), delta);
}

void WidgetTouchWindows::click(QObject* window, QPointF screenPoint) {
    QWidget* clicked = widget(window);
    QWindow* handle = clicked ? clicked->windowHandle() : nullptr;
    if (!handle)
        return;
    const QPointF local = handle->mapFromGlobal(screenPoint);
    const auto post = [&](QEvent::Type type, Qt::MouseButtons buttons) {
        QCoreApplication::postEvent(
                handle, new QMouseEvent(type, local, local, screenPoint, Qt::LeftButton, buttons,
                                        Qt::NoModifier, Qt::MouseEventSynthesizedByApplication));
    };
    post(QEvent::MouseButtonPress, Qt::LeftButton);
    post(QEvent::MouseButtonRelease, Qt::NoButton);
}

QPointF WidgetTouchWindows::windowOrigin(QObject* window) const {
    const QWidget* moved = widget(window);
    return moved ? QPointF(moved->pos()) : QPointF();
}

void WidgetTouchWindows::moveWindow(QObject* window, QPointF origin) {
    if (QWidget* moved = widget(window))
        moved->move(origin.toPoint());
}
