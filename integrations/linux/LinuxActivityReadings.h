#pragma once

#include "integrations/ActivityReadings.h"

// Disk counters from /proc/diskstats (whole disks only, those with a device behind them),
// interface counters from getifaddrs, and processes from /proc/[pid]/stat. The /proc and /sys
// paths are read below `root`.
class LinuxActivityReadings : public ActivityReadings {
public:
    explicit LinuxActivityReadings(QString root = QStringLiteral("/"));

    std::optional<QList<Disk>> disks() override;
    std::optional<QList<Interface>> interfaces() override;
    std::optional<ProcessTable> processes() override;

    // The fields of /proc/[pid]/stat that the process list needs, in the kernel's units.
    struct ProcessStat {
        qint64 pid = 0;
        QString name; // the command name, at most 15 bytes, which may hold blanks and parentheses
        quint64 cpuTicks = 0;
        quint64 startTicks = 0;
        qint64 residentPages = 0;
    };
    static std::optional<ProcessStat> parseProcessStat(const QByteArray& text);

    // Wired, wireless, mobile and tunnel interfaces by their kernel names.
    static bool isListedInterfaceName(const QString& name);

private:
    std::optional<Process> readProcess(const QString& folder, double ticksPerSecond,
                                       double pageSize) const;

    QString m_root;
};
