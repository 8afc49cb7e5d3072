#include "Clock.h"

#include <chrono>

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTimeUtc();
}

double SystemClock::uptime() const {
    // The steady clock is CLOCK_MONOTONIC, which counts from boot on Linux.
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
}
