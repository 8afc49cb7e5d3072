#pragma once

#include "desktop/linux/DesktopEntry.h"
#include "model/AppLauncher.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QStringList>

// Applications are desktop entries. A bundle identifier names a desktop file id; the six standard
// identifiers of the launcher stand for the desktop's file manager, web browser, music player,
// notes editor, terminal and system settings.
class DesktopAppLauncher : public AppLauncher {
public:
    // Where the XDG base directory rules say to look.
    struct Folders {
        QString configHome;
        QStringList configDirs;
        QString dataHome;
        QStringList dataDirs;
        QStringList currentDesktops; // lower-case names from XDG_CURRENT_DESKTOP
        // The language of names: LC_ALL, else LC_MESSAGES, else LANG ("de_AT.UTF-8").
        QString messagesLocale;

        static Folders fromEnvironment();
    };

    explicit DesktopAppLauncher(Folders folders = Folders::fromEnvironment());

    std::optional<QString> locate(const QString& bundleID) override;
    // A .desktop file of type Application, or an executable file.
    std::optional<Application> inspect(const QString& path) override;
    // A desktop entry's Name in the user's language; read again only when the file changed.
    std::optional<QString> displayName(const QString& path) override;
    // A .desktop file runs its Exec line; any other executable file runs as it is.
    void open(const QString& location, Completion completion) override;

    // The installed desktop file with this id, in the order of the data folders.
    std::optional<QString> desktopFile(const QString& desktopID) const;
    // The desktop file of the user's default application for a MIME type.
    std::optional<QString> defaultFor(const QString& mimeType) const;
    // The first installed entry of the candidates, else the first entry in a category.
    std::optional<QString> firstOf(const QStringList& desktopIDs, const QString& category) const;

private:
    QStringList applicationFolders() const;
    QStringList mimeAppsLists() const;

    struct KnownName {
        QDateTime modified;
        std::optional<QString> name;
    };

    Folders m_folders;
    // Launcher states ask on whatever thread builds them.
    QMutex m_namesLock;
    QHash<QString, KnownName> m_names; // by path
};
