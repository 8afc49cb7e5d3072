#pragma once

#include "model/Clock.h"

#include <optional>

// What happened to time between two heartbeats besides its passing: how long the computer
// slept, and by how much the wall clock was set (a time server's step, the user's setting).
// Rates measured across a sleep mean nothing; a countdown kept in wall time would lose or gain
// what the clock was set by.
class TimeJumps {
public:
    // Smaller differences are the heartbeat's own jitter and a time server's gentle slewing.
    static constexpr double tolerance = 1.0;

    struct Since {
        double slept = 0;   // seconds, 0 unless beyond the tolerance
        double stepped = 0; // seconds the wall clock was set forward (back: negative), likewise
    };

    // Compares the clock with its reading at the previous call; nothing happened at the first.
    Since read(const Clock& clock);

private:
    struct Reading {
        QDateTime wall;
        double uptime = 0;
        double bootTime = 0;
    };
    std::optional<Reading> m_previous;
};
