#include "TouchGesture.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double edgeBand = 55;       // an edge swipe starts this close to the top
constexpr double strokeDistance = 85; // travel of an edge swipe or a slow swipe
constexpr double flickDistance = 40;  // travel of a fast swipe
constexpr double flickSpeed = 350;    // points per second
constexpr double steepness = 1.5;     // main axis over cross axis
constexpr double swipeTimeLimit = 2.0;
constexpr double tapDistance = 18;
constexpr double tapTimeLimit = 1.5;

} // namespace

TouchGesture TouchGesture::began(QPointF point, double time) {
    return TouchGesture{point, time, point, 0};
}

void TouchGesture::moveTo(QPointF point) {
    maxDistance = std::max(maxDistance, std::hypot(point.x() - start.x(), point.y() - start.y()));
    last = point;
}

TouchGesture::Outcome TouchGesture::outcome(double now) const {
    const double dx = last.x() - start.x();
    const double dy = last.y() - start.y();
    const double elapsed = now - startedAt;

    if (start.y() < edgeBand && dy > strokeDistance && steepness * std::abs(dx) < dy &&
        elapsed < swipeTimeLimit)
        return Outcome::edgeSwipe;

    const double duration = std::max(elapsed, 0.001);
    const bool longEnough =
            std::abs(dx) >= strokeDistance ||
            (std::abs(dx) >= flickDistance && std::abs(dx) / duration >= flickSpeed);
    if (longEnough && steepness * std::abs(dy) < std::abs(dx) && duration < swipeTimeLimit)
        return dx < 0 ? Outcome::swipeLeft : Outcome::swipeRight;

    if (maxDistance <= tapDistance && elapsed < tapTimeLimit)
        return Outcome::tap;
    return Outcome::none;
}
