#pragma once

#include <QPointF>
#include <QRectF>
#include <optional>

// Maps a normalised panel position into the touchscreen's frame (global desktop coordinates,
// y downwards) for a display rotated by `rotation` degrees. Panel corner (0, 0) at rotation 0 is
// the frame's top-left pixel, (1, 1) its bottom-right pixel.
QPointF touchScreenPoint(QPointF normalized, const QRectF& frame, double rotation);

// Where a touch surface view sits on the desktop. Tests build it by hand; views build it from
// their window.
struct SurfaceGeometry {
    // The window's top-left in global coordinates; absent while the view has no window.
    std::optional<QPointF> windowOrigin;
    // The view's top-left inside its window.
    QPointF originInWindow;
};

// A global point in the view's own top-left coordinates; (0, 0) for a view without a window.
QPointF surfacePoint(QPointF screenPoint, const SurfaceGeometry& view);
