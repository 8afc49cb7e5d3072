#pragma once

#include <QDateTime>

// Wall time and monotonic time since boot, injected so that tests decide what time it is.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Seconds since boot, not counting the time asleep; never goes backwards.
    virtual double uptime() const = 0;
    // Seconds since boot, the time asleep included; never goes backwards.
    virtual double bootTime() const { return uptime(); }
};

class SystemClock : public Clock {
public:
    QDateTime now() const override;
    double uptime() const override;
    double bootTime() const override;
};
