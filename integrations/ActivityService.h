#pragma once

#include "integrations/ActivityReadings.h"
#include "model/Clock.h"

#include <QHash>
#include <QJsonArray>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

// The external program the activity service runs; tests stand a script in for it.
struct ActivityPrograms {
    QString ping = QStringLiteral("/bin/ping");
};

// Disk and network throughput with short histories, the busiest processes and an optional
// internet latency probe, for the activity widgets.
class ActivityService : public QObject {
    Q_OBJECT

public:
    static constexpr int historyLength = 90;
    static constexpr double pingTimeout = 3;

    using Programs = ActivityPrograms;

    ActivityService(std::unique_ptr<ActivityReadings> readings, std::shared_ptr<const Clock> clock,
                    Programs programs = {}, QObject* parent = nullptr);

    // One public DNS resolver that answers ICMP echo requests.
    static QString probeTarget() { return QStringLiteral("1.1.1.1"); }

    const QJsonArray& disks() const { return m_disks; }
    const QJsonArray& interfaces() const { return m_interfaces; }
    const QJsonArray& processes() const { return m_processes; }
    const std::optional<QString>& processError() const { return m_processError; }
    std::optional<double> latency() const { return m_latency; }
    const QString& latencyMessage() const { return m_latencyMessage; }
    bool latencyEnabled() const { return m_latencyEnabled; }
    bool isListingProcesses() const { return m_busyProcesses; }
    bool isPinging() const { return m_busyPing; }

    // Disk and network rates since the previous call. Cheap; every second.
    void sample();
    // The next sample measures no rates (the computer slept since the previous one); the
    // histories stay.
    void startOver();
    // Reads the processes in the background; each one's CPU share is its share since the
    // previous reading. `done` runs when the reading finished, or at once when none was started.
    void refreshProcesses(std::function<void()> done = {});
    void ping(std::function<void()> done = {});
    void toggleLatency();

    static QString processFailure() { return QStringLiteral("Processes could not be read"); }

signals:
    void changed();

private:
    struct Counters {
        quint64 first = 0;
        quint64 second = 0;
        double time = 0;
    };
    struct Histories {
        QJsonArray read;
        QJsonArray write;
    };

    struct ProcessTimes {
        double startedAt = 0;
        double cpuSeconds = 0;
    };

    void sampleDisks(double now);
    void sampleNetwork(double now);
    void takeProcesses(const ActivityReadings::ProcessTable& table);

    // Shared with the reading in the background, which may outlive the service.
    std::shared_ptr<ActivityReadings> m_readings;
    std::shared_ptr<const Clock> m_clock;
    Programs m_programs;
    QJsonArray m_disks;
    QJsonArray m_interfaces;
    QJsonArray m_processes;
    std::optional<QString> m_processError;
    std::optional<double> m_latency;
    QString m_latencyMessage = QStringLiteral("Latency probe is off");
    bool m_latencyEnabled = false;
    QHash<QString, Counters> m_diskPrevious;
    QHash<QString, Histories> m_diskHistory;
    QHash<QString, Counters> m_networkPrevious;
    QHash<qint64, ProcessTimes> m_processTimes;
    double m_processesReadAt = 0;
    bool m_busyProcesses = false;
    bool m_busyPing = false;
};
