#include "LinuxMachineReadings.h"

#include "model/Clock.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// How often the lists of graphics cards and network interfaces are looked at again.
constexpr double rescanPeriod = 10.0;

// Files under /proc and /sys are small and generated on each read: plain system calls are much
// cheaper here than QFile.
std::optional<QByteArray> readFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray contents;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            ::close(fd);
            if (count < 0)
                return std::nullopt;
            return contents;
        }
        contents.append(buffer, count);
    }
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

// The value in bytes of one "Key:   123 kB" line of /proc/meminfo.
std::optional<double> memoryValue(const QByteArray& info, const char* key) {
    const QByteArray prefix = QByteArray(key) + ':';
    qsizetype at = info.startsWith(prefix) ? 0 : info.indexOf('\n' + prefix);
    if (at < 0)
        return std::nullopt;
    at = info.indexOf(':', at) + 1;
    const qsizetype end = info.indexOf('\n', at);
    bool ok = false;
    const qint64 kilobytes =
            info.mid(at, end < 0 ? -1 : end - at).trimmed().split(' ').first().toLongLong(&ok);
    return ok ? std::optional(double(kilobytes) * 1024) : std::nullopt;
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

// The product name where the driver gives one, else the driver's own name.
std::optional<QString> gpuName(const QString& device) {
    if (const auto product = readLine(device + QStringLiteral("/product_name"));
        product && !product->isEmpty())
        return QString::fromUtf8(*product);
    if (const auto uevent = readFile(device + QStringLiteral("/uevent"))) {
        for (const QByteArray& line : uevent->split('\n')) {
            if (line.startsWith("DRIVER="))
                return QString::fromUtf8(line.mid(7));
        }
    }
    return std::nullopt;
}

} // namespace

LinuxMachineReadings::LinuxMachineReadings(QString root, CapacityLookup capacity,
                                           std::shared_ptr<const Clock> clock)
    : m_root(root.endsWith(QLatin1Char('/')) ? root.chopped(1) : root),
      m_capacity(std::move(capacity)),
      m_clock(clock ? std::move(clock) : std::make_shared<SystemClock>()) {}

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

MachineReadings::Memory LinuxMachineReadings::memory() {
    Memory memory;
    memory.physical = double(sysconf(_SC_PHYS_PAGES)) * double(sysconf(_SC_PAGESIZE));
    const auto info = readFile(path(QStringLiteral("/proc/meminfo")));
    if (!info)
        return memory;
    if (const auto total = memoryValue(*info, "MemTotal"))
        memory.physical = *total;
    // Unevictable pages are the kernel's counterpart of wired memory, zswap its compressor.
    if (const auto active = memoryValue(*info, "Active"))
        memory.usage = MemoryUsage{*active, memoryValue(*info, "Unevictable").value_or(0),
                                   memoryValue(*info, "Zswap").value_or(0)};
    const auto swapTotal = memoryValue(*info, "SwapTotal");
    const auto swapFree = memoryValue(*info, "SwapFree");
    if (swapTotal && swapFree)
        memory.swapUsed = std::max(*swapTotal - *swapFree, 0.0);
    return memory;
}

double LinuxMachineReadings::uptime() {
    return m_clock->uptime();
}

bool LinuxMachineReadings::isDue(std::optional<double>& checkedAt) const {
    const double now = m_clock->uptime();
    if (checkedAt && now - *checkedAt < rescanPeriod && now >= *checkedAt)
        return false;
    checkedAt = now;
    return true;
}

QString LinuxMachineReadings::gpuCard() {
    if (!isDue(m_gpuCardCheckedAt))
        return m_gpuCard;
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
    // The name does not change while the card stays, so it is read only when the card is chosen.
    m_gpuName = m_gpuCard.isEmpty() ? std::nullopt : gpuName(m_gpuCard);
    return m_gpuCard;
}

std::optional<MachineReadings::Gpu> LinuxMachineReadings::gpu() {
    const QString device = gpuCard();
    if (device.isEmpty())
        return std::nullopt;
    Gpu gpu;
    gpu.name = m_gpuName;
    if (const auto busy = readNumber(device + QStringLiteral("/gpu_busy_percent")))
        gpu.utilization = QVariant::fromValue(qulonglong(*busy));
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
        // A mount point is an absolute path; a line without one is damaged.
        if (!mountPoint.startsWith(QLatin1Char('/')))
            continue;
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

const QStringList& LinuxMachineReadings::interfaceFolders() {
    if (!isDue(m_interfacesCheckedAt))
        return m_interfaceFolders;
    m_interfaceFolders.clear();
    const QDir interfaces(path(QStringLiteral("/sys/class/net")));
    for (const QString& name :
         interfaces.entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot)) {
        if (isPhysicalInterfaceName(name))
            m_interfaceFolders.append(interfaces.filePath(name));
    }
    return m_interfaceFolders;
}

std::optional<MachineReadings::NetworkCounters> LinuxMachineReadings::network() {
    if (!QFileInfo::exists(path(QStringLiteral("/sys/class/net"))))
        return std::nullopt;
    constexpr quint64 up = 0x1;
    constexpr quint64 loopback = 0x8;
    NetworkCounters counters;
    for (const QString& folder : interfaceFolders()) {
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
