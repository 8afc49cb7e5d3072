#include "TimeJumps.h"

#include <cmath>

TimeJumps::Since TimeJumps::read(const Clock& clock) {
    const Reading now{clock.now(), clock.uptime(), clock.bootTime()};
    Since since;
    if (m_previous) {
        const double awake = now.uptime - m_previous->uptime;
        const double elapsed = now.bootTime - m_previous->bootTime;
        const double wall = double(m_previous->wall.msecsTo(now.wall)) / 1000;
        if (elapsed - awake > tolerance)
            since.slept = elapsed - awake;
        if (std::abs(wall - elapsed) > tolerance)
            since.stepped = wall - elapsed;
    }
    m_previous = now;
    return since;
}
