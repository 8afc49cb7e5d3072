#include "MetricsSampler.h"

#include <QSet>
#include <algorithm>
#include <cmath>

MetricsSampler::MetricsSampler(std::unique_ptr<MachineReadings> readings)
    : m_readings(std::move(readings)) {}

MachineSnapshot MetricsSampler::sample() {
    MachineSnapshot snapshot;

    if (const auto reading = m_readings->cpu()) {
        if (m_previousCPU)
            snapshot.cpu = CPUReading::utilization(*m_previousCPU, *reading);
        m_previousCPU = reading;
    }
    const MachineReadings::Memory memory = m_readings->memory();
    snapshot.memoryTotal = memory.physical;
    if (const auto& usage = memory.usage) {
        snapshot.memoryActive = usage->active;
        snapshot.memoryWired = usage->wired;
        snapshot.memoryCompressed = usage->compressed;
        snapshot.memoryUsed = usage->active + usage->wired + usage->compressed;
    }
    snapshot.swapUsed = memory.swapUsed;
    if (const auto gpu = m_readings->gpu()) {
        snapshot.gpuName = gpu->name;
        snapshot.gpu = gpuUtilization(gpu->utilization);
    }

    const double uptime = m_readings->uptime();
    sampleDisks(snapshot, uptime);
    sampleNetwork(snapshot, uptime);
    snapshot.uptime = uptime;
    return snapshot;
}

void MetricsSampler::startOver() {
    m_previousCPU.reset();
    m_previousNetwork.reset();
}

void MetricsSampler::sampleDisks(MachineSnapshot& snapshot, double uptime) {
    if (!m_lastDiskSample || uptime - *m_lastDiskSample >= diskPeriod) {
        m_disks = disksFrom(m_readings->volumes(), m_readings->startupVolumePath());
        const auto startup = std::find_if(m_disks.cbegin(), m_disks.cend(),
                                          [](const DiskSnapshot& d) { return d.startup; });
        m_startupDisk = startup != m_disks.cend() ? std::optional(*startup) : std::nullopt;
        m_lastDiskSample = uptime;
    }
    snapshot.disks = m_disks;
    if (m_startupDisk) {
        snapshot.diskTotal = m_startupDisk->total;
        snapshot.diskFree = m_startupDisk->free;
        snapshot.diskName = m_startupDisk->name;
    }
}

void MetricsSampler::sampleNetwork(MachineSnapshot& snapshot, double uptime) {
    const auto counters = m_readings->network();
    if (!counters)
        return;
    if (m_previousNetwork && m_previousNetwork->time < uptime &&
        counters->received >= m_previousNetwork->received &&
        counters->sent >= m_previousNetwork->sent) {
        const double interval = uptime - m_previousNetwork->time;
        snapshot.download = double(counters->received - m_previousNetwork->received) / interval;
        snapshot.upload = double(counters->sent - m_previousNetwork->sent) / interval;
    }
    m_previousNetwork = NetworkSample{counters->received, counters->sent, uptime};
}

std::optional<double> MetricsSampler::gpuUtilization(const QVariant& value) {
    // Only numbers count, not text that happens to look like one.
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        break;
    default:
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (!std::isfinite(number) || number < 0 || number > 100)
        return std::nullopt;
    return number;
}

QList<DiskSnapshot> MetricsSampler::disksFrom(const QList<MachineReadings::Volume>& volumes,
                                              const QString& startupPath) {
    QList<DiskSnapshot> disks;
    QSet<QString> ids;
    // The startup volume is a candidate first, whatever the system's order.
    QList<MachineReadings::Volume> candidates;
    for (const auto& volume : volumes) {
        if (volume.path == startupPath)
            candidates.prepend(volume);
        else
            candidates.append(volume);
    }
    for (const auto& volume : candidates) {
        if (!volume.local)
            continue;
        const QString id = volume.uuid.value_or(volume.path);
        if (ids.contains(id))
            continue;
        ids.insert(id);
        DiskSnapshot disk;
        disk.id = id;
        disk.name = volume.name.value_or(volume.path.section(QLatin1Char('/'), -1));
        if (disk.name.isEmpty())
            disk.name = volume.path;
        const auto total = volume.totalCapacity;
        const auto available = volume.availableCapacity;
        if (total && available && *total >= 1 && *available >= 0 && *available <= *total) {
            disk.total = total;
            disk.free = available;
        }
        disk.startup = volume.path == startupPath;
        disks.append(disk);
    }
    const auto sortKey = [](const DiskSnapshot& d) {
        return (d.startup ? QStringLiteral("0") : QStringLiteral("1")) + d.name;
    };
    std::stable_sort(disks.begin(), disks.end(), [&](const DiskSnapshot& a, const DiskSnapshot& b) {
        return sortKey(a) < sortKey(b);
    });
    return disks;
}
