#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

// Files in the data folder written without ever following a symbolic link found in their place:
// whatever a link points to stays as it is.
namespace NoFollowFile {

// Opens `path` to append to it, creating it when missing. A symbolic link, a pipe or anything
// else but a regular file in its place is refused: false, and `file` stays closed.
bool openToAppend(QFile& file, const QString& path);

// Opens `path` to read it. A symbolic link, a pipe or anything else but a regular file in its
// place is refused: false, and `file` stays closed.
bool openToRead(QFile& file, const QString& path);

// Opens a log to append to it, as openToAppend does. At `cap` bytes it starts afresh, the previous
// one kept as "<path>.1".
bool openLog(QFile& file, const QString& path, qint64 cap);

// Writes `contents` to a new file beside `path`, flushed to the disk, and renames it to `path`:
// whatever was there, a link included, is replaced as a whole. Returns the reason on failure.
std::optional<QString> replace(const QString& path, const QByteArray& contents);

} // namespace NoFollowFile
