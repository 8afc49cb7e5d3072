#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The [Desktop Entry] group of a freedesktop .desktop file, as far as launching needs it.
struct DesktopEntry {
    QString file;
    QString type;
    QString name;
    QString icon;
    QString exec;
    QString workingDirectory;
    QStringList categories;
    bool hidden = false;

    // Nothing when the file cannot be read or has no [Desktop Entry] group.
    static std::optional<DesktopEntry> read(const QString& file);

    bool isApplication() const { return type == QStringLiteral("Application") && !exec.isEmpty(); }

    // The command line of Exec, unquoted, with the field codes for files and URLs dropped and the
    // others expanded. Nothing when the quoting is broken.
    std::optional<QStringList> arguments() const;
};
