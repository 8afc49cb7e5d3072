#include "NoFollowFile.h"

#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace NoFollowFile {

namespace {

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Non-blocking, so a pipe in the file's place is refused instead of waiting for its other end.
bool openRegular(QFile& file, const QString& path, int flags, QIODevice::OpenMode mode) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return false;
    }
    if (file.open(fd, mode, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    return false;
}

} // namespace

bool openToAppend(QFile& file, const QString& path) {
    return openRegular(file, path, O_WRONLY | O_APPEND | O_CREAT,
                       QIODevice::WriteOnly | QIODevice::Append);
}

bool openToRead(QFile& file, const QString& path) {
    return openRegular(file, path, O_RDONLY, QIODevice::ReadOnly);
}

bool openLog(QFile& file, const QString& path, qint64 cap) {
    if (!openToAppend(file, path))
        return false;
    if (file.size() < cap)
        return true;
    // What was just opened is the log itself, so the rename moves the log, never a link.
    file.close();
    const QByteArray previous = QFile::encodeName(path + QStringLiteral(".1"));
    ::unlink(previous.constData());
    std::rename(QFile::encodeName(path).constData(), previous.constData());
    return openToAppend(file, path);
}

std::optional<QString> replace(const QString& path, const QByteArray& contents) {
    // Created anew, never opened through a name that might be a link.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return file.errorString();
    if (file.write(contents) != contents.size() || !file.flush())
        return file.errorString();
    // On the disk before it takes the name; a file system that can't tell is no reason to fail.
    ::fdatasync(file.handle());
    // The rename acts on the name: a link there is replaced, its target left alone.
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0)
        return systemReason();
    file.setAutoRemove(false);
    return std::nullopt;
}

} // namespace NoFollowFile
