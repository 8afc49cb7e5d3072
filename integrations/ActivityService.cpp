#include "ActivityService.h"

#include "integrations/Background.h"
#include "integrations/ServiceProcess.h"

#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace {

struct Rates {
    double first = 0;
    double second = 0;
};

// Bytes per second since the previous counters, when they are older and not above the new ones
// (a counter that went down wrapped or was reset).
template <typename Counters>
std::optional<Rates> ratesSince(const Counters* previous, quint64 first, quint64 second,
                                double now) {
    if (!previous || !(previous->time < now) || previous->first > first ||
        previous->second > second)
        return std::nullopt;
    const double interval = now - previous->time;
    return Rates{double(first - previous->first) / interval,
                 double(second - previous->second) / interval};
}

void appendToHistory(QJsonArray& history, double value, int length) {
    history.append(value);
    while (history.size() > length)
        history.removeFirst();
}

QJsonValue rateValue(const std::optional<Rates>& rates, double Rates::*member) {
    return rates ? QJsonValue((*rates).*member) : QJsonValue(QJsonValue::Null);
}

template <typename Less> QJsonArray sorted(QList<QJsonObject> entries, Less less) {
    std::stable_sort(entries.begin(), entries.end(), less);
    QJsonArray array;
    for (const QJsonObject& entry : entries)
        array.append(entry);
    return array;
}

} // namespace

ActivityService::ActivityService(std::unique_ptr<ActivityReadings> readings,
                                 std::shared_ptr<const Clock> clock, Programs programs,
                                 QObject* parent)
    : QObject(parent), m_readings(std::move(readings)), m_clock(std::move(clock)),
      m_programs(std::move(programs)) {}

void ActivityService::sample() {
    const double now = m_clock->uptime();
    sampleDisks(now);
    sampleNetwork(now);
}

void ActivityService::startOver() {
    m_diskPrevious.clear();
    m_networkPrevious.clear();
}

void ActivityService::sampleDisks(double now) {
    const auto disks = m_readings->disks();
    QList<QJsonObject> entries;
    QSet<QString> present;
    for (const ActivityReadings::Disk& disk : disks.value_or(QList<ActivityReadings::Disk>())) {
        const auto previous = m_diskPrevious.constFind(disk.id);
        const auto diskRates = ratesSince(previous == m_diskPrevious.cend() ? nullptr : &*previous,
                                          disk.read, disk.written, now);
        m_diskPrevious.insert(disk.id, {disk.read, disk.written, now});
        Histories& history = m_diskHistory[disk.id];
        if (diskRates) {
            appendToHistory(history.read, diskRates->first, historyLength);
            appendToHistory(history.write, diskRates->second, historyLength);
        }
        present.insert(disk.id);
        entries.append({{QStringLiteral("id"), disk.id},
                        {QStringLiteral("name"), disk.name},
                        {QStringLiteral("read"), rateValue(diskRates, &Rates::first)},
                        {QStringLiteral("write"), rateValue(diskRates, &Rates::second)},
                        {QStringLiteral("readHistory"), history.read},
                        {QStringLiteral("writeHistory"), history.write}});
    }
    // A disk that went away starts over when it returns.
    m_diskPrevious.removeIf([&](const auto& entry) { return !present.contains(entry.key()); });
    m_diskHistory.removeIf([&](const auto& entry) { return !present.contains(entry.key()); });
    m_disks = sorted(entries, [](const QJsonObject& a, const QJsonObject& b) {
        return a.value(QStringLiteral("name")).toString() <
               b.value(QStringLiteral("name")).toString();
    });
}

void ActivityService::sampleNetwork(double now) {
    const auto interfaces = m_readings->interfaces();
    if (!interfaces)
        return;
    QList<QJsonObject> entries;
    for (const ActivityReadings::Interface& interface : *interfaces) {
        const auto previous = m_networkPrevious.constFind(interface.name);
        const auto networkRates =
                ratesSince(previous == m_networkPrevious.cend() ? nullptr : &*previous,
                           interface.received, interface.sent, now);
        m_networkPrevious.insert(interface.name, {interface.received, interface.sent, now});
        entries.append({{QStringLiteral("id"), interface.name},
                        {QStringLiteral("address"),
                         interface.ipv4.value_or(QStringLiteral("No IPv4 address"))},
                        {QStringLiteral("up"), interface.up},
                        {QStringLiteral("download"), rateValue(networkRates, &Rates::first)},
                        {QStringLiteral("upload"), rateValue(networkRates, &Rates::second)}});
    }
    m_interfaces = sorted(entries, [](const QJsonObject& a, const QJsonObject& b) {
        return a.value(QStringLiteral("id")).toString() < b.value(QStringLiteral("id")).toString();
    });
}

void ActivityService::refreshProcesses(std::function<void()> done) {
    if (m_busyProcesses) {
        if (done)
            done();
        return;
    }
    m_busyProcesses = true;
    runInBackground(
            this, [readings = m_readings] { return readings->processes(); },
            [this, done](const std::optional<ActivityReadings::ProcessTable>& table) {
                if (table) {
                    takeProcesses(*table);
                    m_processError.reset();
                } else {
                    m_processError = processFailure();
                }
                emit changed();
                m_busyProcesses = false;
                if (done)
                    done();
            });
}

void ActivityService::takeProcesses(const ActivityReadings::ProcessTable& table) {
    QHash<qint64, ProcessTimes> times;
    QList<QJsonObject> entries;
    for (const ActivityReadings::Process& process : table.processes) {
        const auto previous = m_processTimes.constFind(process.pid);
        // A process seen before (not a new one under a reused pid) is measured since then; a new
        // one since it started.
        const bool seen = previous != m_processTimes.cend() &&
                          previous->startedAt == process.startedAt &&
                          m_processesReadAt < table.time;
        const double since = seen ? m_processesReadAt : process.startedAt;
        const double used = process.cpuSeconds - (seen ? previous->cpuSeconds : 0);
        const double share = table.time > since ? qMax(0.0, used) / (table.time - since) : 0;
        times.insert(process.pid, {process.startedAt, process.cpuSeconds});
        entries.append({{QStringLiteral("pid"), process.pid},
                        {QStringLiteral("cpu"), std::round(share * 1000) / 10},
                        {QStringLiteral("memory"), process.residentBytes},
                        {QStringLiteral("name"), process.name}});
    }
    // Processes that ended are forgotten with the previous table.
    m_processTimes = std::move(times);
    m_processesReadAt = table.time;
    m_processes = sorted(entries, [](const QJsonObject& a, const QJsonObject& b) {
        return a.value(QStringLiteral("cpu")).toDouble() >
               b.value(QStringLiteral("cpu")).toDouble();
    });
}

void ActivityService::ping(std::function<void()> done) {
    if (!m_latencyEnabled || m_busyPing) {
        if (done)
            done();
        return;
    }
    m_busyPing = true;
    // Linux ping waits -W seconds for the reply.
    ServiceProcess::run(m_programs.ping,
                        {QStringLiteral("-n"), QStringLiteral("-c"), QStringLiteral("1"),
                         QStringLiteral("-W"), QStringLiteral("1"), probeTarget()},
                        pingTimeout, this, [this, done](const ProcessResult& result) {
                            if (result.ok) {
                                const qsizetype at = result.output.indexOf(QStringLiteral("time="));
                                bool parsed = false;
                                double value = 0;
                                if (at >= 0)
                                    value = result.output.mid(at + 5)
                                                    .section(QLatin1Char(' '), 0, 0)
                                                    .toDouble(&parsed);
                                m_latency = parsed ? std::optional(value) : std::nullopt;
                                m_latencyMessage =
                                        parsed ? QStringLiteral("Round trip to ") + probeTarget()
                                               : QStringLiteral("No response");
                            } else {
                                m_latency.reset();
                                m_latencyMessage = QStringLiteral("No reply · ICMP may be blocked");
                            }
                            emit changed();
                            m_busyPing = false;
                            if (done)
                                done();
                        });
}

void ActivityService::toggleLatency() {
    m_latencyEnabled = !m_latencyEnabled;
    if (!m_latencyEnabled) {
        m_latency.reset();
        m_latencyMessage = QStringLiteral("Latency probe is off");
    }
}
