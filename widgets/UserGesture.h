#pragma once

#include <optional>

// The last tap or click the user gave one widget. It allows one action that only a person may
// start (opening an application) within a short time, so a page cannot start them by itself or
// many for one tap. Times are seconds of monotonic uptime.
class UserGesture {
public:
    static constexpr double lifetimeSeconds = 2.0;

    void record(double uptime) { m_at = uptime; }

    // True, once, for a gesture of the last two seconds.
    bool take(double uptime) {
        const bool fresh = m_at && uptime >= *m_at && uptime - *m_at <= lifetimeSeconds;
        m_at.reset();
        return fresh;
    }

private:
    std::optional<double> m_at;
};
