#pragma once

#include "model/WidgetKind.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <functional>
#include <optional>

// A touchable rectangle of a surface, in the surface's own points (origin top-left).
struct TouchRegion {
    QString id; // unique within its surface by convention
    QRectF frame;
    bool enabled = true; // a disabled region still captures the touch but does nothing
    // A widget tile that press-and-hold moves; such a region takes no taps.
    std::optional<WidgetKind> dragItem;
    std::function<void()> action; // run on a tap

    // The action is not compared: a region whose only change is its action is the same region.
    bool operator==(const TouchRegion& other) const {
        return id == other.id && frame == other.frame && enabled == other.enabled &&
               dragItem == other.dragItem;
    }
};

// One registered touch surface: a window's content view and the regions of its controls.
struct TouchSurfaceRegistration {
    QPointer<QObject> view; // surface-local points are this view's
    QList<TouchRegion> regions;
    bool isDashboard = false; // page swipes, the edge swipe, widget drags and the fallback
};
