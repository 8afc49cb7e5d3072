#include "DesktopAppLauncher.h"

#include "model/Shortcut.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

QStringList pathList(const QByteArray& variable, const QStringList& fallback) {
    const QString value = qEnvironmentVariable(variable.constData());
    const QStringList paths = value.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return paths.isEmpty() ? fallback : paths;
}

QString homeFolder(const QByteArray& variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable.constData());
    return value.isEmpty() ? QDir::home().filePath(fallback) : value;
}

// The desktop file ids listed for a type in one group of a mimeapps.list or mimeinfo.cache.
QStringList listedApplications(const QString& file, const QString& group, const QString& type) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inGroup = false;
    while (!input.atEnd()) {
        const QString line = QString::fromUtf8(input.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        if (inGroup && line.startsWith(type + QLatin1Char('=')))
            return line.mid(type.size() + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return {};
}

const QString& finder = StandardApplication::fileManager;
const QString& safari = StandardApplication::webBrowser;
const QString& music = StandardApplication::music;
const QString& notes = StandardApplication::notes;
const QString& terminal = StandardApplication::terminal;
const QString& settings = StandardApplication::settings;

} // namespace

DesktopAppLauncher::Folders DesktopAppLauncher::Folders::fromEnvironment() {
    Folders folders;
    folders.configHome = homeFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
    folders.configDirs = pathList("XDG_CONFIG_DIRS", {QStringLiteral("/etc/xdg")});
    folders.dataHome = homeFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
    folders.dataDirs = pathList("XDG_DATA_DIRS",
                                {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
    for (const QString& desktop : pathList("XDG_CURRENT_DESKTOP", {}))
        folders.currentDesktops.append(desktop.toLower());
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        folders.messagesLocale = qEnvironmentVariable(variable);
        if (!folders.messagesLocale.isEmpty())
            break;
    }
    return folders;
}

DesktopAppLauncher::DesktopAppLauncher(Folders folders) : m_folders(std::move(folders)) {}

QStringList DesktopAppLauncher::applicationFolders() const {
    QStringList folders{m_folders.dataHome + QStringLiteral("/applications")};
    for (const QString& dir : m_folders.dataDirs)
        folders.append(dir + QStringLiteral("/applications"));
    return folders;
}

QStringList DesktopAppLauncher::mimeAppsLists() const {
    // Per folder: the desktop-specific list first, then the general one.
    QStringList folders{m_folders.configHome};
    folders += m_folders.configDirs;
    for (const QString& applications : applicationFolders())
        folders.append(applications);
    QStringList lists;
    for (const QString& folder : folders) {
        for (const QString& desktop : m_folders.currentDesktops)
            lists.append(folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list"));
        lists.append(folder + QStringLiteral("/mimeapps.list"));
    }
    return lists;
}

std::optional<QString> DesktopAppLauncher::desktopFile(const QString& desktopID) const {
    if (desktopID.isEmpty() || desktopID.contains(QLatin1Char('/')))
        return std::nullopt;
    const QString name = desktopID.endsWith(QStringLiteral(".desktop"))
                                 ? desktopID
                                 : desktopID + QStringLiteral(".desktop");
    for (const QString& folder : applicationFolders()) {
        const QString candidate = folder + QLatin1Char('/') + name;
        if (QFileInfo(candidate).isFile()) {
            const auto entry = DesktopEntry::read(candidate);
            // A hidden entry deletes the ones below it.
            if (!entry || entry->hidden)
                return std::nullopt;
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<QString> DesktopAppLauncher::defaultFor(const QString& mimeType) const {
    const QStringList lists = mimeAppsLists();
    for (const QString& group :
         {QStringLiteral("Default Applications"), QStringLiteral("Added Associations")}) {
        for (const QString& list : lists) {
            for (const QString& id : listedApplications(list, group, mimeType)) {
                if (const auto file = desktopFile(id))
                    return file;
            }
        }
    }
    for (const QString& folder : applicationFolders()) {
        const QString cache = folder + QStringLiteral("/mimeinfo.cache");
        for (const QString& id :
             listedApplications(cache, QStringLiteral("MIME Cache"), mimeType)) {
            if (const auto file = desktopFile(id))
                return file;
        }
    }
    return std::nullopt;
}

std::optional<QString> DesktopAppLauncher::firstOf(const QStringList& desktopIDs,
                                                   const QString& category) const {
    for (const QString& id : desktopIDs) {
        if (const auto file = desktopFile(id))
            return file;
    }
    for (const QString& folder : applicationFolders()) {
        QDirIterator files(folder, {QStringLiteral("*.desktop")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const auto entry = DesktopEntry::read(files.next());
            if (entry && !entry->hidden && entry->isApplication() &&
                entry->categories.contains(category))
                return entry->file;
        }
    }
    return std::nullopt;
}

std::optional<QString> DesktopAppLauncher::locate(const QString& bundleID) {
    if (bundleID == finder)
        return defaultFor(QStringLiteral("inode/directory"));
    if (bundleID == safari) {
        if (const auto browser = defaultFor(QStringLiteral("x-scheme-handler/https")))
            return browser;
        return defaultFor(QStringLiteral("text/html"));
    }
    if (bundleID == music)
        return defaultFor(QStringLiteral("audio/mpeg"));
    if (bundleID == notes)
        return defaultFor(QStringLiteral("text/plain"));
    if (bundleID == terminal)
        return firstOf({QStringLiteral("org.gnome.Console"), QStringLiteral("org.gnome.Terminal"),
                        QStringLiteral("org.kde.konsole"), QStringLiteral("xfce4-terminal"),
                        QStringLiteral("mate-terminal"), QStringLiteral("lxterminal"),
                        QStringLiteral("kitty"), QStringLiteral("Alacritty"),
                        QStringLiteral("foot"), QStringLiteral("debian-xterm")},
                       QStringLiteral("TerminalEmulator"));
    if (bundleID == settings)
        return firstOf({QStringLiteral("org.gnome.Settings"),
                        QStringLiteral("gnome-control-center"), QStringLiteral("systemsettings"),
                        QStringLiteral("xfce-settings-manager"),
                        QStringLiteral("mate-control-center"), QStringLiteral("cinnamon-settings"),
                        QStringLiteral("lxqt-config")},
                       QStringLiteral("Settings"));
    return desktopFile(bundleID);
}

std::optional<AppLauncher::Application> DesktopAppLauncher::inspect(const QString& path) {
    const QFileInfo file(path);
    if (!file.isFile())
        return std::nullopt;
    if (file.suffix() == QStringLiteral("desktop")) {
        const auto entry = DesktopEntry::read(path, m_folders.messagesLocale);
        if (!entry || !entry->isApplication() || !entry->arguments())
            return std::nullopt;
        return Application{entry->name.isEmpty() ? file.completeBaseName() : entry->name,
                           file.completeBaseName()};
    }
    if (!file.isExecutable())
        return std::nullopt;
    return Application{file.completeBaseName(), QString()};
}

std::optional<QString> DesktopAppLauncher::displayName(const QString& path) {
    const QFileInfo file(path);
    if (file.suffix() != QStringLiteral("desktop") || !file.isFile())
        return std::nullopt;
    const QDateTime modified = file.lastModified();
    const QMutexLocker locker(&m_namesLock);
    const auto known = m_names.constFind(path);
    if (known != m_names.cend() && known->modified == modified)
        return known->name;
    const auto entry = DesktopEntry::read(path, m_folders.messagesLocale);
    const auto name = entry && !entry->name.isEmpty() ? std::optional(entry->name) : std::nullopt;
    m_names.insert(path, {modified, name});
    return name;
}

void DesktopAppLauncher::open(const QString& location, Completion completion) {
    QProcess process;
    if (location.endsWith(QStringLiteral(".desktop"))) {
        const auto entry = DesktopEntry::read(location);
        const auto arguments = entry ? entry->arguments() : std::nullopt;
        if (!entry || !entry->isApplication() || !arguments) {
            completion(QStringLiteral("“%1” is not an application.")
                               .arg(QFileInfo(location).fileName()));
            return;
        }
        QString program = arguments->first();
        if (!program.contains(QLatin1Char('/')))
            program = QStandardPaths::findExecutable(program);
        if (program.isEmpty()) {
            completion(QStringLiteral("The program “%1” was not found.").arg(arguments->first()));
            return;
        }
        process.setProgram(program);
        process.setArguments(arguments->mid(1));
        process.setWorkingDirectory(entry->workingDirectory);
    } else {
        const QFileInfo file(location);
        if (!file.isFile() || !file.isExecutable()) {
            completion(QStringLiteral("“%1” is not an application.").arg(file.fileName()));
            return;
        }
        process.setProgram(file.absoluteFilePath());
    }
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        completion(process.errorString());
        return;
    }
    completion(std::nullopt);
}
