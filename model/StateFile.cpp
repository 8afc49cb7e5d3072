#include "StateFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace StateFile {

std::optional<QByteArray> read(const QString& directory, const QString& name) {
    QFile file(QDir(directory).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::optional<QString> write(const QString& directory, const QString& name,
                             const QByteArray& contents) {
    if (!QDir().mkpath(directory))
        return QStringLiteral("The folder “%1” couldn’t be created.").arg(directory);
    QSaveFile file(QDir(directory).filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(contents) != contents.size() || !file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace StateFile
