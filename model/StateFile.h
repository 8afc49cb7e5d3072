#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace StateFile {

// The file's contents, or nothing when it is missing or unreadable.
std::optional<QByteArray> read(const QString& directory, const QString& name);

// Creates the directory when needed and replaces the file atomically. Returns the reason on
// failure, in words for the user.
std::optional<QString> write(const QString& directory, const QString& name,
                             const QByteArray& contents);

} // namespace StateFile
