#pragma once

#include "desktop/ViewingSource.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>

// A desktop's screen saver on the session bus: it hides the dashboard while it is active. Asked
// without waiting, and again whenever the service appears; a desktop without it, or one that
// does not answer, is no source.
class DBusScreenSaver : public ViewingSource {
    Q_OBJECT

public:
    struct Service {
        QString name;
        QString path;
        QString interface;
    };
    // The freedesktop interface (KDE, Xfce, many others) and GNOME's own.
    static Service freedesktop();
    static Service gnome();

    DBusScreenSaver(QDBusConnection bus, Service service, QObject* parent = nullptr);

    // Reports user activity (GNOME's saver is told to stop instead); not waited for.
    void wake() override;

private slots:
    void activeChanged(bool active);

private:
    void ask();

    QDBusConnection m_bus;
    Service m_service;
    QDBusServiceWatcher m_watcher;
};
