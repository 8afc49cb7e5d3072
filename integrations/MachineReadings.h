#pragma once

#include "model/CPUReading.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

// The raw counters of the operating system that the metrics sampler turns into a snapshot. Each
// reading is absent when the system could not give it.
class MachineReadings {
public:
    struct MemoryUsage {
        double active = 0; // bytes
        double wired = 0;
        double compressed = 0;
    };

    struct Memory {
        double physical = 0; // bytes of RAM
        std::optional<MemoryUsage> usage;
        std::optional<double> swapUsed;
    };

    struct Gpu {
        std::optional<QString> name;
        QVariant utilization; // as the driver reports it; checked by the sampler
    };

    struct Volume {
        QString path; // mount point
        std::optional<QString> uuid;
        std::optional<QString> name;
        std::optional<double> totalCapacity; // bytes
        std::optional<double> availableCapacity;
        bool local = true;
    };

    struct NetworkCounters {
        quint64 received = 0; // bytes since boot, summed over the physical interfaces
        quint64 sent = 0;
    };

    virtual ~MachineReadings() = default;

    virtual std::optional<CPUReading> cpu() = 0;
    // One look at the memory counters.
    virtual Memory memory() = 0;
    // Absent when the machine has no GPU the system can describe.
    virtual std::optional<Gpu> gpu() = 0;
    // Seconds since boot: the clock of disk throttling and network rates.
    virtual double uptime() = 0;
    // The mount point of the startup volume.
    virtual QString startupVolumePath() = 0;
    // Mounted volumes in the system's order, hidden ones left out.
    virtual QList<Volume> volumes() = 0;
    virtual std::optional<NetworkCounters> network() = 0;
};
