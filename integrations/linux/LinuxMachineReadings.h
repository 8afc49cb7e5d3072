#pragma once

#include "integrations/MachineReadings.h"
#include "model/Clock.h"

#include <QHash>
#include <QStringList>
#include <functional>

// Machine readings from /proc and /sys. Every path is read below `root`, so tests point it at a
// fixture tree; the capacity of a mount point comes from statvfs and uptime from the clock unless
// a test supplies them. What rarely changes (graphics cards, network interfaces) is looked up
// again every ten seconds, so a sample stays a handful of small reads.
class LinuxMachineReadings : public MachineReadings {
public:
    struct Capacity {
        double total = 0;     // bytes
        double available = 0; // bytes an unprivileged user may still write
    };
    using CapacityLookup = std::function<std::optional<Capacity>(const QString& mountPoint)>;

    explicit LinuxMachineReadings(QString root = QStringLiteral("/"),
                                  CapacityLookup capacity = statvfsCapacity,
                                  std::shared_ptr<const Clock> clock = nullptr);

    std::optional<CPUReading> cpu() override;
    Memory memory() override;
    std::optional<Gpu> gpu() override;
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
    QHash<QString, QString> deviceLinks(const QString& folder);
    bool isDue(std::optional<double>& checkedAt) const;
    QString gpuCard();
    const QStringList& interfaceFolders();

    QString m_root;
    CapacityLookup m_capacity;
    std::shared_ptr<const Clock> m_clock;
    QString m_gpuCard;
    std::optional<double> m_gpuCardCheckedAt;
    std::optional<QString> m_gpuName;
    QStringList m_interfaceFolders;
    std::optional<double> m_interfacesCheckedAt;
};
