#pragma once

#include <QPointF>

// One contact in progress, in surface-local points (origin top-left, y downwards) and seconds of
// system uptime.
struct TouchGesture {
    enum class Outcome { tap, swipeLeft, swipeRight, edgeSwipe, none };

    QPointF start;
    double startedAt = 0;
    QPointF last;
    double maxDistance = 0;

    static TouchGesture began(QPointF point, double time);
    // A later position of the contact (moved or ended).
    void moveTo(QPointF point);

    // How the contact classifies if it ends at `now`.
    Outcome outcome(double now) const;
};
