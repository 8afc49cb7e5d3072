#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace StateFile {

// State files are small; anything larger is not one of ours.
constexpr qint64 sizeLimit = 64 * 1024 * 1024;
// Copies of unreadable files kept per file name; older ones are removed.
constexpr int keptCopies = 5;

struct Reading {
    enum class Status { missing, read, unreadable };
    Status status = Status::missing;
    QByteArray contents; // when read
};

// Reads a state file. Only a regular file is read, so a pipe or device in its place never
// blocks the start; a symbolic link in its place is unreadable.
Reading read(const QString& directory, const QString& name);

// The contents, or nothing when the file is missing or unreadable.
std::optional<QByteArray> contents(const QString& directory, const QString& name);

// Creates the directory when needed and replaces the file atomically, a symbolic link in its
// place included (never what it points to). Returns the reason on failure, in words for the user.
std::optional<QString> write(const QString& directory, const QString& name,
                             const QByteArray& contents);

struct SetAside {
    QString copyName;             // empty when there was nothing to keep
    std::optional<QString> error; // the file is still in place
};

// Renames a file that could not be read to "<name>.unreadable-<date-time>" so that the next save
// does not replace it, keeping the newest `keptCopies` such copies.
SetAside setAside(const QString& directory, const QString& name, const QDateTime& when);

} // namespace StateFile
