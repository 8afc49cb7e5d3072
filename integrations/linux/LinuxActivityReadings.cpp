#include "LinuxActivityReadings.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <ifaddrs.h>
#include <linux/if_link.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>

LinuxActivityReadings::LinuxActivityReadings(QString root)
    : m_root(root.endsWith(QLatin1Char('/')) ? root.chopped(1) : root) {}

std::optional<QList<ActivityReadings::Disk>> LinuxActivityReadings::disks() {
    QFile stats(m_root + QStringLiteral("/proc/diskstats"));
    if (!stats.open(QIODevice::ReadOnly))
        return std::nullopt;
    QList<Disk> disks;
    for (const QByteArray& line : stats.readAll().split('\n')) {
        // major minor name reads merged sectors-read ms writes merged sectors-written ...
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 10)
            continue;
        const QString name = QString::fromUtf8(fields[2]);
        // Partitions, loop devices and mapped volumes have no device of their own.
        if (!QFileInfo::exists(m_root + QStringLiteral("/sys/block/") + name +
                               QStringLiteral("/device")))
            continue;
        bool ok[4] = {};
        const unsigned major = fields[0].toUInt(&ok[0]);
        const unsigned minor = fields[1].toUInt(&ok[1]);
        const quint64 sectorsRead = fields[5].toULongLong(&ok[2]);
        const quint64 sectorsWritten = fields[9].toULongLong(&ok[3]);
        if (!ok[0] || !ok[1] || !ok[2] || !ok[3])
            continue;
        // Sectors here are always 512 bytes, whatever the disk's own sector size.
        disks.append({QString::number(quint64(makedev(major, minor))), name, sectorsRead * 512,
                      sectorsWritten * 512});
    }
    return disks;
}

std::optional<QList<ActivityReadings::Interface>> LinuxActivityReadings::interfaces() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return std::nullopt;
    QHash<QString, QString> addresses;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char host[NI_MAXHOST] = {};
        if (::getnameinfo(entry->ifa_addr, sizeof(sockaddr_in), host, sizeof host, nullptr, 0,
                          NI_NUMERICHOST) == 0)
            addresses.insert(QString::fromUtf8(entry->ifa_name), QString::fromUtf8(host));
    }
    QList<Interface> interfaces;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET || !entry->ifa_data ||
            (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        const QString name = QString::fromUtf8(entry->ifa_name);
        if (!isListedInterfaceName(name))
            continue;
        const auto* stats = static_cast<const rtnl_link_stats*>(entry->ifa_data);
        Interface interface {
            name, (entry->ifa_flags & IFF_UP) != 0, stats->rx_bytes, stats->tx_bytes, std::nullopt
        };
        if (addresses.contains(name))
            interface.ipv4 = addresses.value(name);
        interfaces.append(interface);
    }
    ::freeifaddrs(list);
    return interfaces;
}

bool LinuxActivityReadings::isListedInterfaceName(const QString& name) {
    for (const char* prefix : {"en", "eth", "wl", "ww", "tun", "wg"}) {
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}
