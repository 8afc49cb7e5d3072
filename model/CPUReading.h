#pragma once

#include <QtGlobal>
#include <optional>

// The processor's cumulative tick counters at one moment.
struct CPUReading {
    quint64 user = 0;
    quint64 system = 0;
    quint64 idle = 0;
    quint64 nice = 0;

    // Busy share in percent (0...100) between two readings; absent when the counters went
    // backwards (a reset) or did not advance.
    static std::optional<double> utilization(const CPUReading& previous, const CPUReading& current);

    bool operator==(const CPUReading&) const = default;
};
