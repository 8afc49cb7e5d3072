#pragma once

#include <QList>
#include <QString>
#include <optional>

// The raw counters behind the activity widgets: cumulative bytes per disk and per network
// interface, and the processes' times and sizes. Nothing when the system could not be asked.
class ActivityReadings {
public:
    struct Disk {
        QString id;   // stable while the disk is attached
        QString name; // the kernel's name of the disk
        quint64 read = 0;
        quint64 written = 0;
    };

    struct Interface {
        QString name;
        bool up = false;
        quint64 received = 0;
        quint64 sent = 0;
        std::optional<QString> ipv4;
    };

    struct Process {
        qint64 pid = 0;
        QString name;
        double cpuSeconds = 0; // user and system time so far
        double startedAt = 0;  // seconds after boot
        double residentBytes = 0;
    };

    struct ProcessTable {
        double time = 0; // seconds after boot, when the table was read
        QList<Process> processes;
    };

    virtual ~ActivityReadings() = default;
    virtual std::optional<QList<Disk>> disks() = 0;
    // The physical and tunnel interfaces; never the loopback.
    virtual std::optional<QList<Interface>> interfaces() = 0;
    // Every process. Runs on a worker thread, while the other readings may run on the main one:
    // it only reads. None by default.
    virtual std::optional<ProcessTable> processes() { return std::nullopt; }
};
