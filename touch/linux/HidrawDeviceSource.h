#pragma once

#include "touch/HidDeviceSource.h"
#include "touch/linux/DeviceNodes.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <memory>
#include <vector>

class QSocketNotifier;

// Where the kernel's device tree and device nodes are: the system's own unless a test says so.
struct HidrawRoots {
    QString sysfs = QStringLiteral("/sys");
    QString dev = QStringLiteral("/dev");
};

// The touchscreen's HID interfaces on Linux: every hidraw node whose device is USB vendor 0x27C0,
// product 0x0859. Reports are read whole from the hidraw node as they arrive; exclusive access is
// the grab of every evdev node of the same HID device, so the desktop pointer never moves; new
// and vanished nodes are noticed through inotify on /dev. The roots are arguments so tests can
// build their own trees.
class HidrawDeviceSource : public QObject, public HidDeviceSource {
    Q_OBJECT

public:
    static constexpr quint32 usbBus = 0x0003;
    static constexpr quint32 vendorID = 0x27C0;
    static constexpr quint32 productID = 0x0859;
    static constexpr int minimumReportSize = 64;
    static constexpr int maximumReportSize = 16384; // the kernel's largest HID report

    using Roots = HidrawRoots;

    explicit HidrawDeviceSource(
            Roots roots = {}, std::shared_ptr<DeviceNodes> nodes = std::make_shared<DeviceNodes>());
    ~HidrawDeviceSource() override;

    int open(HidDeviceListener& listener) override;
    void close() override;
    Access access() const override;

    // Attached interfaces, in order of attachment.
    QStringList attached() const;

private:
    // One hidraw node of the touchscreen as sysfs describes it.
    struct Interface {
        QString name;       // "hidraw3"
        QStringList inputs; // its HID device's evdev nodes, "event7"
        int reportSize = minimumReportSize;
    };
    struct Device {
        QString name;
        int fd = -1;
        QSocketNotifier* notifier = nullptr;
        QByteArray buffer;
        QHash<QString, int> grabs; // evdev node name -> descriptor
    };

    QList<Interface> interfaces() const;
    std::optional<Interface> describe(const QString& name) const;
    int attach(const Interface& interface);
    int grabInputs(Device& device, const QStringList& inputs);
    void release(Device& device);
    void detach(const QString& name);
    Device* find(const QString& name);
    void readReports(const QString& name);
    void watch();
    void unwatch();
    void nodesChanged();
    void rescan();
    QString hidrawPath(const QString& name) const;
    QString inputPath(const QString& name) const;

    Roots m_roots;
    std::shared_ptr<DeviceNodes> m_nodes;
    HidDeviceListener* m_listener = nullptr;
    std::vector<std::unique_ptr<Device>> m_devices;
    QHash<QString, int> m_failures; // interfaces that could not be opened, by name
    // Interfaces whose reads failed while their node still exists: they are not opened again
    // until their node is made anew.
    QSet<QString> m_vanished;
    int m_inotify = -1;
    int m_inputWatch = -1;
    QSocketNotifier* m_watcher = nullptr;
};
