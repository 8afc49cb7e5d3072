#include "DeviceNodes.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

int DeviceNodes::open(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
}

int DeviceNodes::grab(int fd, bool on) {
    return ::ioctl(fd, EVIOCGRAB, on ? 1 : 0) == 0 ? 0 : errno;
}

bool DeviceNodes::readable(const QString& path) const {
    return ::access(QFile::encodeName(path).constData(), R_OK) == 0;
}
