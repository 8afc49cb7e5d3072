#pragma once

#include "desktop/ViewingSource.h"

#include <QDBusConnection>
#include <QVariantMap>

// This process's login session, from logind on the system bus: it hides the dashboard while the
// session is locked or idle. Without a system bus, logind or a session it is no source.
class LogindSession : public ViewingSource {
    Q_OBJECT

public:
    explicit LogindSession(QDBusConnection bus, QObject* parent = nullptr);

private slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated);

private:
    void found(const QString& path);
    void readHints();
    void apply(const QVariantMap& properties);

    QDBusConnection m_bus;
    QString m_path;
    bool m_locked = false;
    bool m_idle = false;
};
