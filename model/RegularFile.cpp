#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

RegularFile failed(const QString& path, const QString& reason) {
    return {RegularFile::Status::failed,
            {},
            QFileInfo(path).fileName() + QStringLiteral(": ") + reason};
}

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

RegularFile RegularFile::read(const QString& path, qint64 sizeLimit, Links links) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (links == Links::refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return failed(path, systemReason());
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return failed(path, QStringLiteral("not a regular file"));
    }
    if (status.st_size > sizeLimit) {
        ::close(fd);
        return {Status::tooLarge, {}, {}};
    }
    QByteArray contents(qsizetype(status.st_size), Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < contents.size()) {
        const ssize_t count = ::read(fd, contents.data() + filled, contents.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            const QString reason = systemReason();
            ::close(fd);
            return failed(path, reason);
        }
        if (count == 0)
            break; // the file shrank meanwhile
        filled += count;
    }
    ::close(fd);
    contents.truncate(filled);
    return {Status::read, contents, {}};
}
