#include "LogindSession.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString service = QStringLiteral("org.freedesktop.login1");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString lockedHint = QStringLiteral("LockedHint");
const QString idleHint = QStringLiteral("IdleHint");

} // namespace

LogindSession::LogindSession(QDBusConnection bus, QObject* parent)
    : ViewingSource(QStringLiteral("logind session"), parent), m_bus(std::move(bus)) {
    if (!m_bus.isConnected())
        return;
    // "auto": the session of this process, or else its user's graphical session.
    QDBusMessage call = QDBusMessage::createMethodCall(
            service, QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("GetSession"));
    call << QStringLiteral("auto");
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *call;
                if (!reply.isError())
                    found(reply.value().path());
            });
}

void LogindSession::found(const QString& path) {
    m_path = path;
    m_bus.connect(service, m_path, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    readHints();
}

void LogindSession::readHints() {
    QDBusMessage call = QDBusMessage::createMethodCall(service, m_path, propertiesInterface,
                                                       QStringLiteral("GetAll"));
    call << sessionInterface;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QVariantMap> reply = *call;
                if (!reply.isError())
                    apply(reply.value());
            });
}

void LogindSession::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                      const QStringList& invalidated) {
    if (interface != sessionInterface)
        return;
    apply(changed);
    if (invalidated.contains(lockedHint) || invalidated.contains(idleHint))
        readHints();
}

void LogindSession::apply(const QVariantMap& properties) {
    if (const auto locked = properties.constFind(lockedHint); locked != properties.cend())
        m_locked = locked->toBool();
    if (const auto idle = properties.constFind(idleHint); idle != properties.cend())
        m_idle = idle->toBool();
    setHides(m_locked || m_idle);
}
