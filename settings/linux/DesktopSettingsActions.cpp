#include "DesktopSettingsActions.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

QString DesktopSettingsActions::readme() const {
    const QDir resources(m_resources);
    for (const QString& candidate :
         {QStringLiteral("../README.md"), QStringLiteral("../doc/tablora/README.md")}) {
        const QString path = QDir::cleanPath(resources.filePath(candidate));
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

void DesktopSettingsActions::openTouchPermissionHelp() {
    const QString path = readme();
    if (!path.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopSettingsActions::revealApplication() {
    reveal(QCoreApplication::applicationFilePath());
}

void DesktopSettingsActions::openFolder(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopSettingsActions::reveal(const QString& path) {
    QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QString folder = QFileInfo(path).absolutePath();
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, folder] {
        // No file manager answers on the bus: at least its folder opens.
        if (watcher->isError())
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        watcher->deleteLater();
    });
}
