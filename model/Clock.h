#pragma once

#include <QDateTime>

// Wall time and monotonic time since boot, injected so that tests decide what time it is.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Seconds since boot; never goes backwards.
    virtual double uptime() const = 0;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override;
    double uptime() const override;
};
