#include "DBusScreenSaver.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

DBusScreenSaver::Service DBusScreenSaver::freedesktop() {
    return {QStringLiteral("org.freedesktop.ScreenSaver"),
            QStringLiteral("/org/freedesktop/ScreenSaver"),
            QStringLiteral("org.freedesktop.ScreenSaver")};
}

DBusScreenSaver::Service DBusScreenSaver::gnome() {
    return {QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver"),
            QStringLiteral("org.gnome.ScreenSaver")};
}

DBusScreenSaver::DBusScreenSaver(QDBusConnection bus, Service service, QObject* parent)
    : ViewingSource(service.name, parent), m_bus(std::move(bus)), m_service(std::move(service)),
      m_watcher(m_service.name, m_bus,
                QDBusServiceWatcher::WatchForRegistration |
                        QDBusServiceWatcher::WatchForUnregistration) {
    if (!m_bus.isConnected())
        return;
    m_bus.connect(m_service.name, m_service.path, m_service.interface,
                  QStringLiteral("ActiveChanged"), this, SLOT(activeChanged(bool)));
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &DBusScreenSaver::ask);
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { setHides(false); });
    ask();
}

void DBusScreenSaver::ask() {
    const QDBusMessage call = QDBusMessage::createMethodCall(
            m_service.name, m_service.path, m_service.interface, QStringLiteral("GetActive"));
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<bool> reply = *call;
                // No such service, or one that does not implement the call: it tells nothing.
                setHides(!reply.isError() && reply.value());
            });
}

void DBusScreenSaver::wake() {
    const bool isGnome = m_service.name == gnome().name;
    QDBusMessage call = QDBusMessage::createMethodCall(
            m_service.name, m_service.path, m_service.interface,
            isGnome ? QStringLiteral("SetActive") : QStringLiteral("SimulateUserActivity"));
    if (isGnome)
        call << false;
    m_bus.call(call, QDBus::NoBlock);
}

void DBusScreenSaver::activeChanged(bool active) {
    setHides(active);
}
