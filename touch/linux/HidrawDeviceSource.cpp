#include "HidrawDeviceSource.h"

#include "touch/HidReportDescriptor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// A burst of reports is read in one go, but never so many that the event loop stalls.
constexpr int reportsPerWake = 256;
constexpr qint64 sysfsFileLimit = 4096;
constexpr uint32_t watchedEvents =
        IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF;

QByteArray readSmallFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(sysfsFileLimit) : QByteArray();
}

// "HID_ID=0003:000027C0:00000859" names the bus, the vendor and the product.
bool isTouchscreen(const QByteArray& uevent) {
    for (const QByteArray& line : uevent.split('\n')) {
        if (!line.startsWith("HID_ID="))
            continue;
        const QList<QByteArray> parts = line.mid(7).trimmed().split(':');
        bool ok[3] = {false, false, false};
        return parts.size() == 3 && parts[0].toUInt(&ok[0], 16) == HidrawDeviceSource::usbBus &&
               parts[1].toUInt(&ok[1], 16) == HidrawDeviceSource::vendorID &&
               parts[2].toUInt(&ok[2], 16) == HidrawDeviceSource::productID && ok[0] && ok[1] &&
               ok[2];
    }
    return false;
}

int nodeNumber(const QString& name, const QString& prefix) {
    return name.mid(prefix.size()).toInt();
}

QStringList numbered(QStringList names, const QString& prefix) {
    names = names.filter(QRegularExpression(QStringLiteral("^%1\\d+$").arg(prefix)));
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        return nodeNumber(a, prefix) < nodeNumber(b, prefix);
    });
    return names;
}

bool isNodeName(const QByteArray& name) {
    return name.startsWith("hidraw") || name.startsWith("event") || name == "input";
}

} // namespace

HidrawDeviceSource::HidrawDeviceSource(Roots roots, std::shared_ptr<DeviceNodes> nodes)
    : m_roots(std::move(roots)), m_nodes(std::move(nodes)) {}

HidrawDeviceSource::~HidrawDeviceSource() {
    close();
}

QString HidrawDeviceSource::hidrawPath(const QString& name) const {
    return m_roots.dev + QStringLiteral("/") + name;
}

QString HidrawDeviceSource::inputPath(const QString& name) const {
    return m_roots.dev + QStringLiteral("/input/") + name;
}

// ---- What sysfs says

QList<HidrawDeviceSource::Interface> HidrawDeviceSource::interfaces() const {
    const QDir classDir(m_roots.sysfs + QStringLiteral("/class/hidraw"));
    QList<Interface> found;
    for (const QString& name : numbered(classDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                                        QStringLiteral("hidraw"))) {
        if (auto interface = describe(name))
            found.append(*interface);
    }
    return found;
}

std::optional<HidrawDeviceSource::Interface>
HidrawDeviceSource::describe(const QString& name) const {
    const QString device =
            m_roots.sysfs + QStringLiteral("/class/hidraw/") + name + QStringLiteral("/device");
    if (!isTouchscreen(readSmallFile(device + QStringLiteral("/uevent"))))
        return std::nullopt;
    Interface interface { name, {}, minimumReportSize };
    const int described = HidReportDescriptor::largestInputReport(
            readSmallFile(device + QStringLiteral("/report_descriptor")));
    interface.reportSize = std::clamp(described, minimumReportSize, maximumReportSize);
    const QDir inputs(device + QStringLiteral("/input"));
    for (const QString& input : inputs.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        interface.inputs +=
                numbered(QDir(inputs.filePath(input)).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                         QStringLiteral("event"));
    }
    return interface;
}

HidDeviceSource::Access HidrawDeviceSource::access() const {
    const QList<Interface> found = interfaces();
    if (found.isEmpty())
        return Access::unknown;
    for (const Interface& interface : found) {
        if (!m_nodes->readable(hidrawPath(interface.name)))
            return Access::denied;
    }
    return Access::granted;
}

// ---- Opening and closing

int HidrawDeviceSource::open(HidDeviceListener& listener) {
    close();
    for (const Interface& interface : interfaces()) {
        if (const int status = attach(interface); status != 0) {
            close();
            return status;
        }
    }
    m_listener = &listener;
    watch();
    for (const QString& name : attached()) {
        // The listener may close the source from inside its call.
        if (m_listener && find(name))
            m_listener->attached(name);
    }
    return 0;
}

void HidrawDeviceSource::close() {
    m_listener = nullptr;
    unwatch();
    for (auto& device : m_devices)
        release(*device);
    m_devices.clear();
    m_failures.clear();
    m_vanished.clear();
}

QStringList HidrawDeviceSource::attached() const {
    QStringList names;
    for (const auto& device : m_devices)
        names.append(device->name);
    return names;
}

HidrawDeviceSource::Device* HidrawDeviceSource::find(const QString& name) {
    for (auto& device : m_devices) {
        if (device->name == name)
            return device.get();
    }
    return nullptr;
}

int HidrawDeviceSource::attach(const Interface& interface) {
    const int fd = m_nodes->open(hidrawPath(interface.name));
    if (fd < 0)
        return -fd;
    auto device = std::make_unique<Device>();
    device->name = interface.name;
    device->fd = fd;
    device->buffer.resize(interface.reportSize);
    if (const int status = grabInputs(*device, interface.inputs); status != 0) {
        release(*device);
        return status;
    }
    device->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    const QString name = interface.name;
    connect(device->notifier, &QSocketNotifier::activated, this,
            [this, name] { readReports(name); });
    m_devices.push_back(std::move(device));
    return 0;
}

int HidrawDeviceSource::grabInputs(Device& device, const QStringList& inputs) {
    for (const QString& input : inputs) {
        if (device.grabs.contains(input))
            continue;
        const int fd = m_nodes->open(inputPath(input));
        if (fd < 0)
            return -fd;
        if (const int status = m_nodes->grab(fd, true); status != 0) {
            ::close(fd);
            return status;
        }
        device.grabs.insert(input, fd);
    }
    return 0;
}

void HidrawDeviceSource::release(Device& device) {
    for (const int fd : std::as_const(device.grabs)) {
        m_nodes->grab(fd, false);
        ::close(fd);
    }
    device.grabs.clear();
    if (device.notifier) {
        // It may be the notifier whose signal is running right now.
        device.notifier->setEnabled(false);
        device.notifier->deleteLater();
        device.notifier = nullptr;
    }
    if (device.fd >= 0)
        ::close(device.fd);
    device.fd = -1;
}

void HidrawDeviceSource::detach(const QString& name) {
    const auto at = std::find_if(m_devices.begin(), m_devices.end(),
                                 [&](const auto& device) { return device->name == name; });
    if (at == m_devices.end())
        return;
    release(**at);
    m_devices.erase(at);
    if (m_listener)
        m_listener->removed(name);
}

// ---- Reports

void HidrawDeviceSource::readReports(const QString& name) {
    for (int count = 0; count < reportsPerWake; ++count) {
        Device* device = find(name);
        if (!device || !m_listener)
            return;
        const ssize_t length = ::read(device->fd, device->buffer.data(), device->buffer.size());
        if (length > 0) {
            m_listener->report(name, QByteArrayView(device->buffer.constData(), length));
            continue;
        }
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // End of file or an error such as ENODEV or EIO: the device went away.
        m_vanished.insert(name);
        detach(name);
        return;
    }
}

// ---- Devices coming and going

void HidrawDeviceSource::watch() {
    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0)
        return;
    inotify_add_watch(m_inotify, QFile::encodeName(m_roots.dev).constData(), watchedEvents);
    m_inputWatch = inotify_add_watch(
            m_inotify, QFile::encodeName(m_roots.dev + QStringLiteral("/input")).constData(),
            watchedEvents);
    m_watcher = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
    connect(m_watcher, &QSocketNotifier::activated, this, &HidrawDeviceSource::nodesChanged);
}

void HidrawDeviceSource::unwatch() {
    if (m_watcher) {
        m_watcher->setEnabled(false);
        m_watcher->deleteLater();
        m_watcher = nullptr;
    }
    if (m_inotify >= 0)
        ::close(m_inotify);
    m_inotify = -1;
    m_inputWatch = -1;
}

void HidrawDeviceSource::nodesChanged() {
    alignas(inotify_event) char buffer[4096];
    bool relevant = false;
    for (;;) {
        const ssize_t length = ::read(m_inotify, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const QByteArray name(event->len > 0 ? event->name : "");
            relevant = relevant || isNodeName(name) || (event->mask & IN_Q_OVERFLOW);
            if (event->mask & (IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM))
                m_vanished.remove(QString::fromLocal8Bit(name));
            at += ssize_t(sizeof(inotify_event)) + event->len;
        }
    }
    if (m_inputWatch < 0) {
        // The input folder appears after the first input device.
        m_inputWatch = inotify_add_watch(
                m_inotify, QFile::encodeName(m_roots.dev + QStringLiteral("/input")).constData(),
                watchedEvents);
    }
    if (relevant)
        rescan();
}

void HidrawDeviceSource::rescan() {
    const QList<Interface> present = interfaces();
    const auto isPresent = [&](const QString& name) {
        return std::any_of(present.begin(), present.end(),
                           [&](const Interface& interface) { return interface.name == name; }) &&
               QFileInfo::exists(hidrawPath(name));
    };
    for (const QString& name : attached()) {
        if (!isPresent(name))
            detach(name);
    }
    for (const Interface& interface : present) {
        if (!m_listener)
            return;
        if (Device* device = find(interface.name)) {
            // Input nodes of an attached device may come after its hidraw node.
            grabInputs(*device, interface.inputs);
            continue;
        }
        if (!QFileInfo::exists(hidrawPath(interface.name)) || m_vanished.contains(interface.name))
            continue;
        const int status = attach(interface);
        if (status == 0) {
            m_failures.remove(interface.name);
            m_listener->attached(interface.name);
        } else if (m_failures.value(interface.name) != status) {
            // Once per failure: a node waits for its permissions for a moment after it appears.
            m_failures.insert(interface.name, status);
            m_listener->failed(interface.name, status);
        }
    }
}
