#pragma once

#include <QByteArrayView>
#include <QString>
#include <cerrno>

// What a device source tells its reader. Calls arrive on the main thread.
class HidDeviceListener {
public:
    virtual ~HidDeviceListener() = default;
    virtual void attached(const QString& device) = 0;
    // The device is gone; no report of it follows.
    virtual void removed(const QString& device) = 0;
    // One whole input report; the first byte is the report ID.
    virtual void report(const QString& device, QByteArrayView bytes) = 0;
    // A device that appeared could not be opened (a status as open() returns it).
    virtual void failed(const QString& /*device*/, int /*status*/) {}
};

// Every HID interface of the touchscreen, opened exclusively so that no other program (the
// desktop's pointer included) sees its input while it is open.
class HidDeviceSource {
public:
    // Whether this program may read the touchscreen's device nodes.
    enum class Access { granted = 0, denied = 1, unknown = 2 };

    virtual ~HidDeviceSource() = default;

    // Opens every interface present and keeps watching for others; reports each one as attached
    // before it returns. Returns 0, or an errno value: then nothing stays open.
    virtual int open(HidDeviceListener& listener) = 0;
    // Releases and closes everything; no call of the listener follows.
    virtual void close() = 0;
    virtual Access access() const = 0;

    static bool isNotPermitted(int status) { return status == EACCES || status == EPERM; }
    // Another program holds the device.
    static bool isExclusiveAccess(int status) { return status == EBUSY; }
};
