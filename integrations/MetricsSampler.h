#pragma once

#include "MachineReadings.h"
#include "MachineSnapshot.h"

#include <memory>
#include <optional>

// Measures the machine once per call. Rates come from the difference to the previous call;
// disks are read at most every 10 seconds of uptime and repeated in between.
class MetricsSampler {
public:
    static constexpr double diskPeriod = 10.0;

    explicit MetricsSampler(std::unique_ptr<MachineReadings> readings);

    MachineSnapshot sample();
    // The next sample measures no rates: the previous readings are too far behind it (the
    // computer slept in between).
    void startOver();

    // A GPU load value is accepted only as a finite number from 0 to 100.
    static std::optional<double> gpuUtilization(const QVariant& value);
    // The volumes as listed: the startup volume first, then the others by name; local volumes
    // only, each volume once.
    static QList<DiskSnapshot> disksFrom(const QList<MachineReadings::Volume>& volumes,
                                         const QString& startupPath);

private:
    struct NetworkSample {
        quint64 received = 0;
        quint64 sent = 0;
        double time = 0;
    };

    void sampleDisks(MachineSnapshot& snapshot, double uptime);
    void sampleNetwork(MachineSnapshot& snapshot, double uptime);

    std::unique_ptr<MachineReadings> m_readings;
    QList<DiskSnapshot> m_disks;
    std::optional<DiskSnapshot> m_startupDisk;
    std::optional<double> m_lastDiskSample;
    std::optional<CPUReading> m_previousCPU;
    std::optional<NetworkSample> m_previousNetwork;
};
