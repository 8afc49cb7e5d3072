#include "PackageFolders.h"

#include "widgets/WidgetPackage.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

std::optional<QString> PackageFolders::copy(const QString& given, const QString& to) {
    if (!QDir().mkpath(to))
        return QStringLiteral("The folder “%1” couldn’t be created.").arg(to);
    // Paths inside the copy are taken relative to the source, which only works between two
    // absolute paths: a relative source would be copied into itself.
    const QString from = QFileInfo(given).absoluteFilePath();
    const QDir source(from);
    QDirIterator walk(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    int entries = 0;
    qint64 bytes = 0;
    while (walk.hasNext()) {
        walk.next();
        const QFileInfo item = walk.fileInfo();
        const QString target = QDir(to).filePath(source.relativeFilePath(item.filePath()));
        if (item.isSymLink())
            return QStringLiteral("Symbolic links are not allowed");
        bytes += item.isFile() ? item.size() : 0;
        if (++entries > WidgetPackage::maximumEntries || bytes > WidgetPackage::maximumBytes)
            return QStringLiteral("Package exceeds 10 MB or 250 files");
        if (item.isDir()) {
            if (!QDir().mkpath(target))
                return QStringLiteral("The folder “%1” couldn’t be created.").arg(target);
        } else if (item.isFile()) {
            QFile file(item.filePath());
            if (!file.copy(target))
                return item.fileName() + QStringLiteral(": ") + file.errorString();
        }
        // Anything else (pipes, sockets, devices) is not part of a package and is left behind.
    }
    return std::nullopt;
}

std::optional<QString> PackageFolders::move(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return QFileInfo(from).fileName() + QStringLiteral(": ") +
               QString::fromLocal8Bit(std::strerror(errno));
    return std::nullopt;
}

std::optional<QString> PackageFolders::remove(const QString& path) {
    const QFileInfo item(path);
    const bool removed = item.isDir() && !item.isSymLink() ? QDir(path).removeRecursively()
                                                           : QFile::remove(path);
    if (!removed)
        return QStringLiteral("“%1” couldn’t be removed.").arg(item.fileName());
    return std::nullopt;
}
