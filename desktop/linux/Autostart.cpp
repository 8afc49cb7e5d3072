#include "Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The program as one word of Exec: quoted when it holds a character the key reserves, then
// escaped once more as a string value of the entry.
std::optional<QString> execWord(const QString& program) {
    static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    static const QString escapedInQuotes = QStringLiteral("\"`$\\");
    bool quoted = false;
    for (const QChar c : program) {
        if (c.category() == QChar::Other_Control)
            return std::nullopt;
        quoted = quoted || reserved.contains(c);
    }
    QString word;
    for (const QChar c : program) {
        if (quoted && escapedInQuotes.contains(c))
            word += QLatin1Char('\\');
        word += c;
    }
    word.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (quoted)
        word = QLatin1Char('"') + word + QLatin1Char('"');
    return word.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

bool markedOff(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return true;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed().replace(" ", "");
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
            return true;
    }
    return false;
}

} // namespace

Autostart::Autostart(QString folder, QString executable, QObject* parent)
    : StartAtLogin(parent), m_folder(std::move(folder)), m_executable(std::move(executable)),
      m_announced(isEnabled()) {}

QString Autostart::defaultFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath(QStringLiteral("autostart"));
}

QString Autostart::runningExecutable() {
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString Autostart::entryPath() const {
    return QDir(m_folder).filePath(QString::fromLatin1(entryName));
}

bool Autostart::isEnabled() const {
    const QFileInfo entry(entryPath());
    return entry.isFile() && !markedOff(entryPath());
}

QString Autostart::setEnabled(bool enabled) {
    const QString failure = enabled ? enable() : disable();
    announce();
    return failure;
}

void Autostart::announce() {
    const bool enabled = isEnabled();
    if (enabled == m_announced)
        return;
    m_announced = enabled;
    emit enabledChanged(enabled);
}

void Autostart::follow() {
    if (m_watcher)
        return;
    m_watcher = new QFileSystemWatcher(this);
    const auto changed = [this] {
        watch();
        announce();
    };
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    watch();
    announce();
}

// The entry (edited in place by hand or by the desktop) and its folder, which sees it come and
// go; until the folder exists, the nearest folder above it that does, to see it come.
void Autostart::watch() {
    QString nearest = m_folder;
    while (!QFileInfo(nearest).isDir()) {
        const QString above = QFileInfo(nearest).path();
        if (above == nearest)
            return;
        nearest = above;
    }
    const QStringList folders = m_watcher->directories();
    if (folders != QStringList{nearest}) {
        if (!folders.isEmpty())
            m_watcher->removePaths(folders);
        m_watcher->addPath(nearest);
    }
    if (m_watcher->files().isEmpty() && QFileInfo(entryPath()).isFile())
        m_watcher->addPath(entryPath());
}

QString Autostart::enable() {
    const QString refused = QStringLiteral("Couldn’t turn on start at login: ");
    const auto exec = execWord(m_executable);
    if (m_executable.isEmpty() || !exec)
        return refused + QStringLiteral("the program’s location isn’t known");
    if (!QDir().mkpath(m_folder))
        return refused + QStringLiteral("%1 can’t be created").arg(m_folder);
    QSaveFile file(entryPath());
    // TryExec: once the program is uninstalled, the desktop ignores the entry left behind.
    const QByteArray entry =
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Tablora\n"
            "Comment=Dashboard for a USB touchscreen bar display\n"
            "TryExec=" +
            QString(m_executable).replace(QLatin1Char('\\'), QStringLiteral("\\\\")).toUtf8() +
            "\n"
            "Exec=" +
            exec->toUtf8() +
            "\n"
            "Icon=tablora\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit())
        return refused + QStringLiteral("%1: %2").arg(entryPath(), file.errorString());
    return {};
}

QString Autostart::disable() {
    QFile entry(entryPath());
    if (!QFileInfo::exists(entryPath()) || entry.remove())
        return {};
    return QStringLiteral("Couldn’t turn off start at login: %1: %2")
            .arg(entryPath(), entry.errorString());
}
