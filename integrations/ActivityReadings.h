#pragma once

#include <QList>
#include <QString>
#include <optional>

// The raw counters behind the activity widgets: cumulative bytes per disk and per network
// interface. Nothing when the system could not be asked.
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

    virtual ~ActivityReadings() = default;
    virtual std::optional<QList<Disk>> disks() = 0;
    // The physical and tunnel interfaces; never the loopback.
    virtual std::optional<QList<Interface>> interfaces() = 0;
};
