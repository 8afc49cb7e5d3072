#include "PackageFolders.h"

#include "packages/WidgetPackage.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Qt moves an item into the working folder when the home trash is missing and cannot be made
// there: it has to exist, with both its folders, before anything is trashed.
std::optional<QString> prepareHomeTrash() {
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                          QStringLiteral("/Trash");
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (const QString& folder :
         {trash, trash + QStringLiteral("/files"), trash + QStringLiteral("/info")}) {
        if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder, ownerOnly))
            return QStringLiteral("the Trash folder “%1” couldn’t be created").arg(folder);
    }
    return std::nullopt;
}

} // namespace

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

std::optional<QString> PackageFolders::moveToTrash(const QString& path, QString& trashed) {
    if (const auto error = prepareHomeTrash())
        return error;
    QFile item(path);
    if (!item.moveToTrash())
        return item.errorString();
    trashed = item.fileName();
    return std::nullopt;
}
