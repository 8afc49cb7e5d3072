#pragma once

#include "touch/TouchWindows.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;
class QWindow;

// The application's Qt widget windows as direct touch sees them. The window system tells no
// stacking order, so the order is the one of activation: the window activated last is in front.
class WidgetTouchWindows : public QObject, public TouchWindows {
    Q_OBJECT

public:
    explicit WidgetTouchWindows(QObject* parent = nullptr);

    QList<QObject*> windowsFrontToBack() const override;
    QObject* windowOf(QObject* view) const override;
    bool isShown(QObject* window) const override;
    QRectF frame(QObject* window) const override;
    QObject* modalWindow() const override;
    QObject* sheet(QObject* window) const override;
    SurfaceGeometry geometry(QObject* view) const override;
    ScrollTargets scrollTargetsAt(QObject* view, QPointF screenPoint) const override;
    void scroll(QObject* scrollArea, double delta) override;
    void scrollPage(QObject* page, QPointF screenPoint, double delta) override;
    void click(QObject* window, QPointF screenPoint) override;
    QPointF windowOrigin(QObject* window) const override;
    void moveWindow(QObject* window, QPointF origin) override;

private:
    void activated(QWindow* window);

    QList<QPointer<QWidget>> m_activation; // most recent first
};
