#pragma once

#include "integrations/MachineReadings.h"

#include <QHash>
#include <QStringList>
#include <functional>

// Machine readings from /proc and /sys. Every path is read below `root`, so tests point it at a
// fixture tree; the capacity of a mount point comes from statvfs unless a test supplies it.
class LinuxMachineReadings : public MachineReadings {
public:
    struct Capacity {
        double total = 0;     // bytes
        double available = 0; // bytes an unprivileged user may still write
    };
    using CapacityLookup = std::function<std::optional<Capacity>(const QString& mountPoint)>;

    explicit LinuxMachineReadings(QString root = QStringLiteral("/"),
                                  CapacityLookup capacity = statvfsCapacity);

    std::optional<CPUReading> cpu() override;
    std::optional<Memory> memory() override;
    std::optional<double> swapUsed() override;
    std::optional<Gpu> gpu() override;
    double physicalMemory() override;
    double uptime() override;
    QString startupVolumePath() override { return QStringLiteral("/"); }
    QList<Volume> volumes() override;
    std::optional<NetworkCounters> network() override;

    static std::optional<Capacity> statvfsCapacity(const QString& mountPoint);
    // Wired, wireless and mobile broadband interfaces by their kernel names.
    static bool isPhysicalInterfaceName(const QString& name);
    // Mount points use octal escapes for blanks and backslashes.
    static QString unescapeMountField(const QByteArray& field);

private:
    QString path(const QString& relative) const { return m_root + relative; }
    QHash<QString, qint64> memoryInfo();
    QHash<QString, QString> deviceLinks(const QString& folder);
    QString gpuCard();

    QString m_root;
    CapacityLookup m_capacity;
    QString m_gpuCard;
    std::optional<double> m_gpuCardCheckedAt;
};
