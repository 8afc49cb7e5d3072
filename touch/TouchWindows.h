#pragma once

#include "touch/ScreenMapping.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>

// What direct touch needs of the application's windows and views. Windows and views are passed
// as QObjects so that the touch logic stays free of any toolkit; the views' implementation knows
// what they are.
class TouchWindows {
public:
    // What scrolls under a point: a native scroll area and a web page, either may be missing.
    struct ScrollTargets {
        QPointer<QObject> scrollArea;
        QPointer<QObject> page;
    };

    virtual ~TouchWindows() = default;

    // The application's windows that touches can reach, front to back.
    virtual QList<QObject*> windowsFrontToBack() const = 0;
    virtual QObject* windowOf(QObject* view) const = 0;
    // Visible and not minimised.
    virtual bool isShown(QObject* window) const = 0;
    // Global coordinates, title bar included.
    virtual QRectF frame(QObject* window) const = 0;
    // The application's modal window, if one is open.
    virtual QObject* modalWindow() const = 0;
    // An open dialog of the window, which takes the window's touches as long as it is open.
    virtual QObject* sheet(QObject* window) const = 0;
    virtual SurfaceGeometry geometry(QObject* view) const = 0;

    virtual ScrollTargets scrollTargetsAt(QObject* view, QPointF screenPoint) const = 0;
    // Scrolls the content by `delta` points (positive: towards the end), within its range.
    virtual void scroll(QObject* scrollArea, double delta) = 0;
    // Asks the web page to scroll what lies under the point.
    virtual void scrollPage(QObject* page, QPointF screenPoint, double delta) = 0;
    // Posts a left click into the application's own event queue, marked as synthesized by it.
    virtual void click(QObject* window, QPointF screenPoint) = 0;
    virtual QPointF windowOrigin(QObject* window) const = 0;
    virtual void moveWindow(QObject* window, QPointF origin) = 0;
};
