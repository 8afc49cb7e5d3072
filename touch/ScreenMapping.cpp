#include "ScreenMapping.h"

#include <algorithm>
#include <cmath>

namespace {

double unitClamped(double value) {
    return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
}

} // namespace

QPointF touchScreenPoint(QPointF normalized, const QRectF& frame, double rotation) {
    // Whole degrees, halves away from zero; the remainder keeps the sign (-90 stays -90).
    const double turn = std::fmod(std::round(rotation), 360.0);
    const double x = normalized.x();
    const double y = normalized.y();
    double across = x; // from the left of the screen
    double down = y;   // from the top of the screen
    if (turn == 90) {
        across = 1 - y;
        down = x;
    } else if (turn == 180) {
        across = 1 - x;
        down = 1 - y;
    } else if (turn == 270) {
        across = y;
        down = 1 - x;
    }
    across = unitClamped(across);
    down = unitClamped(down);
    return QPointF(frame.left() + across * std::max(frame.width() - 1, 0.0),
                   frame.top() + down * std::max(frame.height() - 1, 0.0));
}

QPointF surfacePoint(QPointF screenPoint, const SurfaceGeometry& view) {
    if (!view.windowOrigin)
        return QPointF(0, 0);
    return screenPoint - *view.windowOrigin - view.originInWindow;
}
