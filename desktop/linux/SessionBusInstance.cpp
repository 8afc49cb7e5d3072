#include "SessionBusInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QThread>

namespace names = SessionBusInstance;

SessionBusChannel::SessionBusChannel(QString dataFolder, QDeadlineTimer deadline,
                                     QDBusConnection bus)
    : m_dataFolder(std::move(dataFolder)), m_deadline(deadline), m_bus(std::move(bus)) {}

InstanceChannel::Reply SessionBusChannel::send(const QStringList& arguments) {
    using Status = Reply::Status;
    if (!m_bus.isConnected())
        return {Status::unreachable, QStringLiteral("there is no session bus")};
    const QDeadlineTimer nameDeadline(std::min<qint64>(nameWaitMs, m_deadline.remainingTime()));
    for (;;) {
        if (!m_bus.interface()->isServiceRegistered(names::service)) {
            if (nameDeadline.hasExpired())
                return {Status::absent, QStringLiteral("nothing answers to %1 on the session bus")
                                                .arg(names::service)};
            QThread::msleep(100);
            continue;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
                names::service, names::path, names::interface, QStringLiteral("Command"));
        call << arguments << m_dataFolder;
        const int remaining = int(std::max<qint64>(m_deadline.remainingTime(), 1));
        const QDBusMessage reply = m_bus.call(call, QDBus::Block, remaining);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return {Status::done, {}};
        const QDBusError error(reply);
        if (error.name() == names::failedError)
            return {Status::refused, error.message()};
        if (error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout ||
            error.type() == QDBusError::TimedOut)
            return {Status::noAnswer, {}};
        // The owner went away between the look-up and the call: look again.
        if (error.type() != QDBusError::ServiceUnknown || m_deadline.hasExpired())
            return {Status::unreachable, error.message()};
    }
}

SessionBusControl::SessionBusControl(QString dataFolder, Handler handler, QDBusConnection bus,
                                     QObject* parent)
    : QObject(parent), m_dataFolder(std::move(dataFolder)), m_handler(std::move(handler)),
      m_bus(std::move(bus)) {}

SessionBusControl::~SessionBusControl() {
    if (!m_registered)
        return;
    m_bus.unregisterObject(names::path);
    m_bus.unregisterService(names::service);
}

bool SessionBusControl::start() {
    if (!m_bus.isConnected()) {
        m_failure = QStringLiteral("there is no session bus");
        return false;
    }
    if (!m_bus.registerObject(names::path, this, QDBusConnection::ExportAllSlots)) {
        m_failure = QStringLiteral("the object %1 is taken").arg(names::path);
        return false;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
            m_bus.interface()->registerService(names::service,
                                               QDBusConnectionInterface::DontQueueService,
                                               QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        m_bus.unregisterObject(names::path);
        const QDBusReply<uint> owner = m_bus.interface()->servicePid(names::service);
        m_failure = owner.isValid() ? QStringLiteral("process %1 owns %2 on the session bus")
                                              .arg(owner.value())
                                              .arg(names::service)
                                    : reply.error().message();
        return false;
    }
    m_registered = true;
    return true;
}

void SessionBusControl::Command(const QStringList& arguments, const QString& dataFolder) {
    if (dataFolder != m_dataFolder) {
        sendErrorReply(names::failedError,
                       QStringLiteral("the Tablora on the session bus uses another data folder, %1")
                               .arg(m_dataFolder));
        return;
    }
    const QString failure = m_handler(arguments);
    if (!failure.isEmpty())
        sendErrorReply(names::failedError, failure);
}
