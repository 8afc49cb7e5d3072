#pragma once

#include "app/linux/DesktopEntry.h"
#include "model/AppLauncher.h"

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

        static Folders fromEnvironment();
    };

    explicit DesktopAppLauncher(Folders folders = Folders::fromEnvironment());

    std::optional<QString> locate(const QString& bundleID) override;
    // A .desktop file of type Application, or an executable file.
    std::optional<Application> inspect(const QString& path) override;
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

    Folders m_folders;
};
