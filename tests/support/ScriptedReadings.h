#pragma once

#include "integrations/MachineReadings.h"

// Machine readings whose values the test sets by hand; counts how often the volumes are read.
class ScriptedReadings : public MachineReadings {
public:
    std::optional<CPUReading> cpuReading;
    double physical = 8e9;
    std::optional<MemoryUsage> memoryReading;
    std::optional<double> swap;
    std::optional<Gpu> gpuReading;
    double now = 10;
    QList<Volume> volumeList;
    std::optional<NetworkCounters> counters;
    int volumeReads = 0;

    std::optional<CPUReading> cpu() override { return cpuReading; }
    Memory memory() override { return {physical, memoryReading, swap}; }
    std::optional<Gpu> gpu() override { return gpuReading; }
    double uptime() override { return now; }
    QString startupVolumePath() override { return "/"; }
    QList<Volume> volumes() override {
        ++volumeReads;
        return volumeList;
    }
    std::optional<NetworkCounters> network() override { return counters; }
};
