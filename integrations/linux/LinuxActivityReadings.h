#pragma once

#include "integrations/ActivityReadings.h"

// Disk counters from /proc/diskstats (whole disks only, those with a device behind them) and
// interface counters from getifaddrs. The /proc and /sys paths are read below `root`.
class LinuxActivityReadings : public ActivityReadings {
public:
    explicit LinuxActivityReadings(QString root = QStringLiteral("/"));

    std::optional<QList<Disk>> disks() override;
    std::optional<QList<Interface>> interfaces() override;

    // Wired, wireless, mobile and tunnel interfaces by their kernel names.
    static bool isListedInterfaceName(const QString& name);

private:
    QString m_root;
};
