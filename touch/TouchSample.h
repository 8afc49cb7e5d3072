#pragma once

#include <QPointF>

// One decoded contact on the panel, each axis 0...1 from the corner the device reports as origin.
struct TouchSample {
    enum class Phase { began, moved, ended };

    Phase phase = Phase::began;
    QPointF normalized;

    bool operator==(const TouchSample& other) const {
        return phase == other.phase && normalized.x() == other.normalized.x() &&
               normalized.y() == other.normalized.y();
    }
};
