#pragma once

#include <QString>

// The system calls on device nodes, in one place a test can stand in for: a test's nodes are
// socket pairs and regular files, on which the real grab cannot work.
class DeviceNodes {
public:
    virtual ~DeviceNodes() = default;
    // Read-only, non-blocking and closed on exec (a child process must never keep a grab
    // alive): a file descriptor, or -errno.
    virtual int open(const QString& path);
    // Takes (on) or releases the exclusive grab of an evdev node: 0 or an errno value.
    virtual int grab(int fd, bool on);
    virtual bool readable(const QString& path) const;
};
