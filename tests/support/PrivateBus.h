#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>

// A session bus of the test's own, so nothing reaches the user's desktop session.
class PrivateBus {
public:
    PrivateBus() {
        m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000)) {
            ADD_FAILURE() << "dbus-daemon did not start";
            return;
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }

    ~PrivateBus() {
        for (const QString& name : m_connections)
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }

    const QString& address() const { return m_address; }

    // A new connection to this bus under its own name.
    QDBusConnection connect(const QString& name) {
        m_connections.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};
