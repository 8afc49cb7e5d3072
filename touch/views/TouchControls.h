#pragma once

#include "touch/TouchRegion.h"

#include <QEvent>
#include <QPointF>

class QWidget;

// A widget that reports touch regions of its own (the controls a web page reported, for one),
// in its own coordinates. A touch surface collects them with the rest of its content.
class TouchRegionSource {
public:
    virtual ~TouchRegionSource() = default;
    virtual QList<TouchRegion> touchRegions() const = 0;
};

// A widget whose content a touch scrolls by itself (a web page), given a point in the widget's
// coordinates and the distance in points (positive: towards the end).
class TouchScrollTarget {
public:
    virtual ~TouchScrollTarget() = default;
    virtual void scroll(const QPointF& point, double delta) = 0;
};

// How controls of any Qt widget window become touch regions: mark the control, and the touch
// surface of its window reports its frame, id and enabled state to direct touch, and runs the
// action when a touch taps it.
namespace TouchControls {

// The control becomes a region with this id; a tap on it runs `action`. Marking it again
// replaces id and action.
void setAction(QWidget* control, const QString& id, std::function<void()> action);
// The control becomes a movable widget tile "widget-<kind>": press-and-hold drags it.
void setMovable(QWidget* control, const WidgetKind& kind);
// The regions a marked control reports, in its own coordinates; empty for one not marked.
QList<TouchRegion> regionsOf(const QWidget* control);

// Tells the touch surface above `source` that its regions changed without the widget moving,
// resizing, showing, hiding or changing its enabled state (which the surface notices itself).
void regionsChanged(QWidget* source);
QEvent::Type regionsChangedEvent();

} // namespace TouchControls
