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

    // Nothing when the file cannot be read or has no [Desktop Entry] group. `name` is the Name
    // localised for `messagesLocale` (an LC_MESSAGES value such as "de_AT.UTF-8@euro"), else the
    // plain one.
    static std::optional<DesktopEntry> read(const QString& file,
                                            const QString& messagesLocale = QString());
    // The locales a localised key may name for an LC_MESSAGES value, best first:
    // lang_COUNTRY@MODIFIER, lang_COUNTRY, lang@MODIFIER, lang (the encoding does not count).
    static QStringList localeMatches(const QString& messagesLocale);

    bool isApplication() const { return type == QStringLiteral("Application") && !exec.isEmpty(); }

    // The command line of Exec, unquoted, with the field codes for files and URLs dropped and the
    // others expanded. Nothing when the quoting is broken.
    std::optional<QStringList> arguments() const;
};
