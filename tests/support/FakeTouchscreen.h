#pragma once

#include "support/TestFiles.h"
#include "touch/ScreenMapping.h"
#include "touch/linux/HidrawDeviceSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

// Device nodes of a fake tree: hidraw nodes are socket pairs (which keep report boundaries as
// hidraw does), evdev nodes regular files whose grabs are recorded here; any node can be made to
// refuse its open or its grab.
class FakeNodes : public DeviceNodes {
public:
    QHash<QString, int> sockets;    // hidraw path -> the reader's end
    QHash<QString, int> openErrors; // path -> errno
    QHash<QString, int> grabErrors; // path -> errno
    QSet<QString> unreadable;
    QHash<int, QString> opened; // descriptor -> path
    QSet<QString> grabbed;      // paths held right now
    QStringList grabLog;        // "+event5", "-event5"

    int open(const QString& path) override {
        if (openErrors.contains(path))
            return -openErrors.value(path);
        int fd = DeviceNodes::open(path);
        if (sockets.contains(path)) {
            // Opened as the real node would be: non-blocking, closed on exec.
            ::close(fd);
            fd = fcntl(sockets.value(path), F_DUPFD_CLOEXEC, 0);
            fcntl(fd, F_SETFL, O_NONBLOCK);
        }
        if (fd >= 0)
            opened.insert(fd, path);
        return fd;
    }
    int grab(int fd, bool on) override {
        const QString path = opened.value(fd);
        if (on && grabErrors.contains(path))
            return grabErrors.value(path);
        if (on)
            grabbed.insert(path);
        else
            grabbed.remove(path);
        grabLog.append((on ? "+" : "-") + QFileInfo(path).fileName());
        return 0;
    }
    bool readable(const QString& path) const override { return !unreadable.contains(path); }
};

// A sysfs and /dev tree with touchscreen interfaces in it.
class FakeTouchscreen {
public:
    static constexpr const char* touchscreenID = "0003:000027C0:00000859";

    QTemporaryDir folder;
    std::shared_ptr<FakeNodes> nodes = std::make_shared<FakeNodes>();

    FakeTouchscreen() { QDir().mkpath(dev("input")); }
    ~FakeTouchscreen() {
        for (const int fd : std::as_const(m_writers))
            ::close(fd);
        for (const int fd : std::as_const(nodes->sockets))
            ::close(fd);
    }

    HidrawRoots roots() const { return {folder.filePath("sys"), folder.filePath("dev")}; }
    std::unique_ptr<HidrawDeviceSource> source() const {
        return std::make_unique<HidrawDeviceSource>(roots(), nodes);
    }
    QString dev(const QString& name) const { return folder.filePath("dev/" + name); }

    // An interface "hidrawN" with its HID device's evdev nodes; the node appears last, as the
    // kernel's would.
    void add(const QString& name, const QStringList& inputs = {},
             const QByteArray& hidID = touchscreenID, const QByteArray& descriptor = {}) {
        const QString device = folder.filePath("sys/class/hidraw/" + name + "/device/");
        writeFile(device + "uevent", "DRIVER=hid-generic\nHID_ID=" + hidID + "\nHID_NAME=Edge\n");
        if (!descriptor.isEmpty())
            writeFile(device + "report_descriptor", descriptor);
        for (const QString& input : inputs) {
            QDir().mkpath(device + "input/input" + input.mid(5) + "/" + input);
            writeFile(dev("input/" + input), {});
        }
        int pair[2];
        ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair);
        nodes->sockets.insert(dev(name), pair[0]);
        m_writers.insert(name, pair[1]);
        writeFile(dev(name), {});
    }

    // The interface goes away: its node and its sysfs entry.
    void remove(const QString& name) {
        QFile::remove(dev(name));
        QDir(folder.filePath("sys/class/hidraw/" + name)).removeRecursively();
    }

    // The device stops answering: reads of the node see the end of the file.
    void hangUp(const QString& name) { ::shutdown(m_writers.value(name), SHUT_WR); }

    void send(const QString& name, const QByteArray& report) {
        ::send(m_writers.value(name), report.constData(), size_t(report.size()), 0);
    }

    // Runs the event loop until the reader has taken every report sent to the node.
    bool drain(const QString& name, int timeoutMs = 2000) {
        const int reader = nodes->sockets.value(dev(name));
        for (int waited = 0; waited < timeoutMs; ++waited) {
            char byte;
            if (::recv(reader, &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0)
                return true;
            QCoreApplication::processEvents();
            QThread::usleep(200);
        }
        return false;
    }

    // Report 7 of the touchscreen: the contact's tip and its raw position.
    static QByteArray report(bool contact, int x = 0, int y = 0) {
        const char bytes[] = {
                7, char(contact), char(x & 0xFF), char(x >> 8), char(y & 0xFF), char(y >> 8), 0};
        return QByteArray(bytes, sizeof bytes);
    }
    // The report that puts a contact on a global point of the touchscreen's frame.
    static QByteArray touching(QPointF point, const QRectF& frame) {
        const double x = (point.x() - frame.left()) / (frame.width() - 1);
        const double y = (point.y() - frame.top()) / (frame.height() - 1);
        return report(true, qRound(qBound(0.0, x, 1.0) * 16383),
                      qRound(qBound(0.0, y, 1.0) * 9599));
    }

    // Where a report of touching() lands once decoded and mapped, as exactly as the reader gets it.
    static QPointF decoded(const QByteArray& report, const QRectF& frame) {
        const auto raw = [&](int low) {
            return quint8(report[low]) + 256 * quint8(report[low + 1]);
        };
        return touchScreenPoint(QPointF(raw(2) / 16383.0, raw(4) / 9599.0), frame, 0);
    }

private:
    QHash<QString, int> m_writers;
};
