#pragma once

#include <QList>
#include <QString>
#include <optional>

// One local volume. Capacities are bytes and present only when they make sense together.
struct DiskSnapshot {
    QString id; // the volume's UUID, or its mount point when it has none
    QString name;
    std::optional<double> total;
    std::optional<double> free;
    bool startup = false;

    bool operator==(const DiskSnapshot&) const = default;
};

// One measurement of the machine. Bytes, percentages 0...100, bytes per second, seconds; what
// could not be read is absent.
struct MachineSnapshot {
    QList<DiskSnapshot> disks; // the startup disk first
    std::optional<double> diskTotal;
    std::optional<double> diskFree;
    std::optional<QString> diskName;
    std::optional<double> gpu;
    std::optional<QString> gpuName;
    std::optional<double> memoryWired;
    std::optional<double> memoryActive;
    std::optional<double> memoryCompressed;
    std::optional<double> swapUsed;
    std::optional<double> cpu;
    std::optional<double> memoryUsed;
    double memoryTotal = 0;
    std::optional<double> download;
    std::optional<double> upload;
    double uptime = 0;

    bool operator==(const MachineSnapshot&) const = default;
};
