#include "model/Clock.h"

#include <chrono>
#include <ctime>

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTimeUtc();
}

double SystemClock::uptime() const {
    // The steady clock is CLOCK_MONOTONIC, which counts from boot on Linux and stands still
    // while the computer sleeps.
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
}

double SystemClock::bootTime() const {
    timespec time{};
    if (clock_gettime(CLOCK_BOOTTIME, &time) != 0)
        return uptime();
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}
