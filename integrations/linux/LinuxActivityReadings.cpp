#include "LinuxActivityReadings.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <ifaddrs.h>
#include <linux/if_link.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The kernel keeps this many bytes of a command name, its terminating NUL included.
constexpr int commandNameLength = 16;

std::optional<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool isProcessFolder(const QString& name) {
    return !name.isEmpty() &&
           std::all_of(name.begin(), name.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The program's file name from the command line, for a name the kernel cut short: kernel
// threads have no command line, and a script's first argument is its interpreter.
QString fullName(const QString& cut, const QByteArray& commandLine) {
    const QByteArray program = commandLine.left(commandLine.indexOf('\0'));
    const QString file = QString::fromUtf8(program.mid(program.lastIndexOf('/') + 1));
    return file.startsWith(cut) ? file : cut;
}

} // namespace

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

std::optional<LinuxActivityReadings::ProcessStat>
LinuxActivityReadings::parseProcessStat(const QByteArray& text) {
    // pid (name) state ppid ...: the name may hold anything, so it ends at the last parenthesis.
    const qsizetype open = text.indexOf(" (");
    const qsizetype close = text.lastIndexOf(')');
    if (open <= 0 || close < open)
        return std::nullopt;
    bool ok[5] = {};
    ProcessStat stat;
    stat.pid = text.left(open).toLongLong(&ok[0]);
    stat.name = QString::fromUtf8(text.mid(open + 2, close - open - 2));
    // The fields after the name, counted from the state, the third field.
    const QList<QByteArray> fields = text.mid(close + 1).simplified().split(' ');
    const auto field = [&](int number) { return fields.value(number - 3); };
    constexpr int userTime = 14, systemTime = 15, startTime = 22, resident = 24;
    if (fields.size() < resident - 2)
        return std::nullopt;
    stat.cpuTicks = field(userTime).toULongLong(&ok[1]);
    stat.cpuTicks += field(systemTime).toULongLong(&ok[2]);
    stat.startTicks = field(startTime).toULongLong(&ok[3]);
    stat.residentPages = field(resident).toLongLong(&ok[4]);
    if (!std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }) || stat.pid <= 0)
        return std::nullopt;
    return stat;
}

std::optional<ActivityReadings::ProcessTable> LinuxActivityReadings::processes() {
    const auto uptime = readFile(m_root + QStringLiteral("/proc/uptime"));
    bool ok = false;
    const double time = uptime ? uptime->split(' ').value(0).toDouble(&ok) : 0;
    if (!ok)
        return std::nullopt;
    const double ticksPerSecond = double(::sysconf(_SC_CLK_TCK));
    const double pageSize = double(::sysconf(_SC_PAGESIZE));
    ProcessTable table{time, {}};
    QDirIterator folders(m_root + QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (folders.hasNext()) {
        folders.next();
        // A process may end at any moment: its files then cannot be read, and it is left out.
        if (isProcessFolder(folders.fileName())) {
            if (auto process = readProcess(folders.filePath(), ticksPerSecond, pageSize))
                table.processes.append(std::move(*process));
        }
    }
    return table;
}

std::optional<ActivityReadings::Process> LinuxActivityReadings::readProcess(const QString& folder,
                                                                            double ticksPerSecond,
                                                                            double pageSize) const {
    const auto text = readFile(folder + QStringLiteral("/stat"));
    const auto stat = text ? parseProcessStat(*text) : std::nullopt;
    if (!stat)
        return std::nullopt;
    QString name = stat->name;
    if (stat->name.toUtf8().size() == commandNameLength - 1)
        name = fullName(name, readFile(folder + QStringLiteral("/cmdline")).value_or(QByteArray()));
    return Process{stat->pid, name, double(stat->cpuTicks) / ticksPerSecond,
                   double(stat->startTicks) / ticksPerSecond,
                   double(qMax<qint64>(stat->residentPages, 0)) * pageSize};
}
