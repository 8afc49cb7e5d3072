#include "LinuxMachineReadings.h"

#include "model/Clock.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// How often the list of graphics cards is looked at again.
constexpr double gpuRescanPeriod = 10.0;

std::optional<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::optional<QByteArray> readLine(const QString& path) {
    const auto contents = readFile(path);
    if (!contents)
        return std::nullopt;
    return contents->trimmed();
}

std::optional<quint64> readNumber(const QString& path, int base = 10) {
    const auto text = readLine(path);
    bool ok = false;
    const quint64 value = text ? text->toULongLong(&ok, base) : 0;
    return ok ? std::optional(value) : std::nullopt;
}

// Decodes "\x20"-style escapes of udev's link names.
QString unescapeUdevName(const QString& name) {
    QByteArray bytes;
    const QByteArray raw = name.toUtf8();
    for (qsizetype i = 0; i < raw.size(); ++i) {
        bool ok = false;
        if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x') {
            const int value = raw.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                bytes.append(char(value));
                i += 3;
                continue;
            }
        }
        bytes.append(raw[i]);
    }
    return QString::fromUtf8(bytes);
}

} // namespace

LinuxMachineReadings::LinuxMachineReadings(QString root, CapacityLookup capacity)
    : m_root(root.endsWith(QLatin1Char('/')) ? root.chopped(1) : root),
      m_capacity(std::move(capacity)) {}

std::optional<CPUReading> LinuxMachineReadings::cpu() {
    const auto stat = readFile(path(QStringLiteral("/proc/stat")));
    if (!stat || !stat->startsWith("cpu "))
        return std::nullopt;
    const QList<QByteArray> fields = stat->left(stat->indexOf('\n')).simplified().split(' ').mid(1);
    // user nice system idle iowait irq softirq steal; older kernels stop after idle.
    QList<quint64> ticks;
    for (const QByteArray& field : fields) {
        bool ok = false;
        ticks.append(field.toULongLong(&ok));
        if (!ok)
            return std::nullopt;
    }
    if (ticks.size() < 4)
        return std::nullopt;
    ticks.resize(std::max<qsizetype>(ticks.size(), 8));
    return CPUReading{ticks[0], ticks[2] + ticks[5] + ticks[6] + ticks[7], ticks[3] + ticks[4],
                      ticks[1]};
}

QHash<QString, qint64> LinuxMachineReadings::memoryInfo() {
    QHash<QString, qint64> values;
    const auto info = readFile(path(QStringLiteral("/proc/meminfo")));
    if (!info)
        return values;
    for (const QByteArray& line : info->split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        bool ok = false;
        // Values are in kB except for page counts, which this reader does not use.
        const qint64 kilobytes = line.mid(colon + 1).trimmed().split(' ').first().toLongLong(&ok);
        if (ok)
            values.insert(QString::fromLatin1(line.left(colon)), kilobytes * 1024);
    }
    return values;
}

std::optional<MachineReadings::Memory> LinuxMachineReadings::memory() {
    const QHash<QString, qint64> info = memoryInfo();
    if (!info.contains(QStringLiteral("Active")))
        return std::nullopt;
    // Unevictable pages are the kernel's counterpart of wired memory, zswap its compressor.
    return Memory{double(info.value(QStringLiteral("Active"))),
                  double(info.value(QStringLiteral("Unevictable"))),
                  double(info.value(QStringLiteral("Zswap")))};
}

std::optional<double> LinuxMachineReadings::swapUsed() {
    const QHash<QString, qint64> info = memoryInfo();
    const auto total = info.constFind(QStringLiteral("SwapTotal"));
    const auto free = info.constFind(QStringLiteral("SwapFree"));
    if (total == info.cend() || free == info.cend())
        return std::nullopt;
    return double(std::max<qint64>(*total - *free, 0));
}

double LinuxMachineReadings::physicalMemory() {
    const qint64 total = memoryInfo().value(QStringLiteral("MemTotal"));
    if (total > 0)
        return double(total);
    return double(sysconf(_SC_PHYS_PAGES)) * double(sysconf(_SC_PAGESIZE));
}

double LinuxMachineReadings::uptime() {
    const auto text = readLine(path(QStringLiteral("/proc/uptime")));
    bool ok = false;
    const double seconds = text ? text->split(' ').first().toDouble(&ok) : 0;
    return ok ? seconds : SystemClock().uptime();
}

QString LinuxMachineReadings::gpuCard() {
    const double now = uptime();
    if (m_gpuCardCheckedAt && now - *m_gpuCardCheckedAt < gpuRescanPeriod)
        return m_gpuCard;
    m_gpuCardCheckedAt = now;
    // card0, card1, ...; connector entries such as card0-HDMI-A-1 are not cards.
    QStringList cards = QDir(path(QStringLiteral("/sys/class/drm")))
                                .entryList({QStringLiteral("card*")}, QDir::Dirs | QDir::System);
    cards.removeIf([](const QString& name) { return name.contains(QLatin1Char('-')); });
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(cards.begin(), cards.end(), numeric);
    m_gpuCard.clear();
    for (const QString& card : cards) {
        const QString device = path(QStringLiteral("/sys/class/drm/%1/device").arg(card));
        if (!QFileInfo::exists(device))
            continue;
        if (m_gpuCard.isEmpty())
            m_gpuCard = device;
        // Prefer the card whose driver reports its load.
        if (QFileInfo::exists(device + QStringLiteral("/gpu_busy_percent"))) {
            m_gpuCard = device;
            break;
        }
    }
    return m_gpuCard;
}

std::optional<MachineReadings::Gpu> LinuxMachineReadings::gpu() {
    const QString device = gpuCard();
    if (device.isEmpty())
        return std::nullopt;
    Gpu gpu;
    if (const auto busy = readNumber(device + QStringLiteral("/gpu_busy_percent")))
        gpu.utilization = QVariant::fromValue(qulonglong(*busy));
    if (const auto product = readLine(device + QStringLiteral("/product_name"));
        product && !product->isEmpty()) {
        gpu.name = QString::fromUtf8(*product);
    } else if (const auto uevent = readFile(device + QStringLiteral("/uevent"))) {
        for (const QByteArray& line : uevent->split('\n')) {
            if (line.startsWith("DRIVER="))
                gpu.name = QString::fromUtf8(line.mid(7));
        }
    }
    return gpu;
}

QHash<QString, QString> LinuxMachineReadings::deviceLinks(const QString& folder) {
    // udev's links: name -> the device node it points at.
    QHash<QString, QString> byDevice;
    const QDir links(path(folder));
    for (const QFileInfo& link : links.entryInfoList(QDir::Files | QDir::System)) {
        const QString device = link.canonicalFilePath();
        if (!device.isEmpty())
            byDevice.insert(device, unescapeUdevName(link.fileName()));
    }
    return byDevice;
}

QList<MachineReadings::Volume> LinuxMachineReadings::volumes() {
    const auto mounts = readFile(path(QStringLiteral("/proc/self/mountinfo")));
    if (!mounts)
        return {};
    const QHash<QString, QString> uuids = deviceLinks(QStringLiteral("/dev/disk/by-uuid"));
    const QHash<QString, QString> labels = deviceLinks(QStringLiteral("/dev/disk/by-label"));
    const QStringList hidden = {QStringLiteral("/boot"),    QStringLiteral("/efi"),
                                QStringLiteral("/snap"),    QStringLiteral("/var/snap"),
                                QStringLiteral("/var/lib"), QStringLiteral("/proc"),
                                QStringLiteral("/sys")};
    QList<Volume> volumes;
    for (const QByteArray& line : mounts->split('\n')) {
        // id parent major:minor root mount-point options [optional...] - type source options
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (separator < 6 || separator + 2 >= fields.size())
            continue;
        const QString mountPoint = unescapeMountField(fields[4]);
        const QString source = unescapeMountField(fields[separator + 2]);
        // Local volumes sit on a block device; loop devices carry packaged images. The startup
        // volume counts whatever carries it (ZFS, overlay).
        const bool blockDevice = source.startsWith(QStringLiteral("/dev/")) &&
                                 !source.startsWith(QStringLiteral("/dev/loop"));
        if (!blockDevice && mountPoint != startupVolumePath())
            continue;
        const bool isHidden = std::any_of(hidden.cbegin(), hidden.cend(), [&](const QString& h) {
            return mountPoint == h || mountPoint.startsWith(h + QLatin1Char('/'));
        });
        if (isHidden)
            continue;
        Volume volume;
        volume.path = mountPoint;
        const QString device = QFileInfo(path(source)).canonicalFilePath();
        if (uuids.contains(device))
            volume.uuid = uuids.value(device);
        if (labels.contains(device))
            volume.name = labels.value(device);
        if (const auto capacity = m_capacity(mountPoint)) {
            volume.totalCapacity = capacity->total;
            volume.availableCapacity = capacity->available;
        }
        volumes.append(volume);
    }
    return volumes;
}

std::optional<MachineReadings::NetworkCounters> LinuxMachineReadings::network() {
    const QDir interfaces(path(QStringLiteral("/sys/class/net")));
    if (!interfaces.exists())
        return std::nullopt;
    constexpr quint64 up = 0x1;
    constexpr quint64 loopback = 0x8;
    NetworkCounters counters;
    for (const QString& name :
         interfaces.entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot)) {
        if (!isPhysicalInterfaceName(name))
            continue;
        const QString folder = interfaces.filePath(name);
        const auto flags = readNumber(folder + QStringLiteral("/flags"), 16);
        if (!flags || !(*flags & up) || (*flags & loopback))
            continue;
        const auto received = readNumber(folder + QStringLiteral("/statistics/rx_bytes"));
        const auto sent = readNumber(folder + QStringLiteral("/statistics/tx_bytes"));
        if (!received || !sent)
            continue;
        counters.received += *received;
        counters.sent += *sent;
    }
    return counters;
}

std::optional<LinuxMachineReadings::Capacity>
LinuxMachineReadings::statvfsCapacity(const QString& mountPoint) {
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(mountPoint).constData(), &info) != 0)
        return std::nullopt;
    const double unit = double(info.f_frsize ? info.f_frsize : info.f_bsize);
    return Capacity{double(info.f_blocks) * unit, double(info.f_bavail) * unit};
}

bool LinuxMachineReadings::isPhysicalInterfaceName(const QString& name) {
    for (const char* prefix : {"en", "eth", "wl", "ww"}) {
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

QString LinuxMachineReadings::unescapeMountField(const QByteArray& field) {
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                bytes.append(char(value));
                i += 3;
                continue;
            }
        }
        bytes.append(field[i]);
    }
    return QString::fromUtf8(bytes);
}
