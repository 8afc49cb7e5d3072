#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <optional>

// Writes a file, creating its folders; returns its path.
inline QString writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
    return path;
}

// An executable shell script standing in for a program.
inline QString writeScript(const QString& path, const QByteArray& body) {
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// HOME and XDG_DATA_HOME in a temporary folder while the object lives: what a test moves to the
// desktop's trash lands in dataHome/Trash, never in the user's own.
class TemporaryTrash {
    QTemporaryDir m_folder;
    std::optional<QByteArray> m_home = current("HOME");
    std::optional<QByteArray> m_dataHome = current("XDG_DATA_HOME");

public:
    const QString dataHome = m_folder.filePath("data");

    TemporaryTrash() {
        QDir().mkpath(dataHome);
        qputenv("HOME", QFile::encodeName(m_folder.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    }
    ~TemporaryTrash() {
        restore("HOME", m_home);
        restore("XDG_DATA_HOME", m_dataHome);
    }
    TemporaryTrash(const TemporaryTrash&) = delete;
    TemporaryTrash& operator=(const TemporaryTrash&) = delete;

    // The .trashinfo note of a trashed item.
    QByteArray info(const QString& trashed) const {
        QFile file(dataHome + "/Trash/info/" + QFileInfo(trashed).fileName() + ".trashinfo");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    static std::optional<QByteArray> current(const char* name) {
        return qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    }
    static void restore(const char* name, const std::optional<QByteArray>& value) {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
};
