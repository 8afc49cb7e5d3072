#include "StateFile.h"

#include "model/RegularFile.h"
#include "model/linux/NoFollowFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace StateFile {

namespace {

QString copyPrefix(const QString& name) {
    return name + QStringLiteral(".unreadable-");
}

void removeOldCopies(QDir directory, const QString& name) {
    QStringList copies = directory.entryList({copyPrefix(name) + QLatin1Char('*')},
                                             QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    while (copies.size() > keptCopies)
        directory.remove(copies.takeFirst());
}

} // namespace

Reading read(const QString& directory, const QString& name) {
    const QString path = QDir(directory).filePath(name);
    const QFileInfo found(path);
    if (!found.exists() && !found.isSymLink())
        return {};
    // Whatever a link points to is not ours to read, nor to replace: the link is kept aside.
    if (found.isSymLink())
        return {Reading::Status::unreadable, {}};
    const RegularFile file = RegularFile::read(path, sizeLimit);
    if (file.status != RegularFile::Status::read)
        return {Reading::Status::unreadable, {}};
    return {Reading::Status::read, file.contents};
}

std::optional<QByteArray> contents(const QString& directory, const QString& name) {
    Reading reading = read(directory, name);
    if (reading.status != Reading::Status::read)
        return std::nullopt;
    return std::move(reading.contents);
}

std::optional<QString> write(const QString& directory, const QString& name,
                             const QByteArray& contents) {
    if (!QDir().mkpath(directory))
        return QStringLiteral("The folder “%1” couldn’t be created.").arg(directory);
    return NoFollowFile::replace(QDir(directory).filePath(name), contents);
}

SetAside setAside(const QString& directory, const QString& name, const QDateTime& when) {
    const QDir folder(directory);
    const QString original = folder.filePath(name);
    const QString stamp = when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString copy = copyPrefix(name) + stamp;
    for (int n = 2; QFileInfo::exists(folder.filePath(copy)); ++n)
        copy = copyPrefix(name) + stamp + QLatin1Char('-') + QString::number(n);
    // A rename, not a copy: it never opens the file, whatever it is.
    if (std::rename(QFile::encodeName(original).constData(),
                    QFile::encodeName(folder.filePath(copy)).constData()) != 0) {
        if (errno == ENOENT)
            return {};
        return {{}, QString::fromLocal8Bit(std::strerror(errno))};
    }
    removeOldCopies(folder, name);
    return {copy, std::nullopt};
}

} // namespace StateFile
