#pragma once

#include <QByteArray>
#include <QString>

// Reads a whole file. Only regular files are read: a pipe or device in a hostile package, or in
// place of a state file, is refused instead of blocking the reader.
struct RegularFile {
    enum class Status { read, failed, tooLarge };
    // Whether a symbolic link in the file's own place is followed or refused.
    enum class Links { follow, refuse };

    Status status = Status::failed;
    QByteArray contents;
    QString error; // "name: reason" when failed

    static RegularFile read(const QString& path, qint64 sizeLimit, Links links = Links::follow);
};
