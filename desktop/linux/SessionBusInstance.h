#pragma once

#include "desktop/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDeadlineTimer>
#include <QObject>
#include <functional>

// The running dashboard's well-known name on the session bus: a second start hands its command
// line over through it. The data folder travels along, so a dashboard never obeys a start meant
// for another folder's.
namespace SessionBusInstance {
inline const QString service = QStringLiteral("org.tablora.Tablora");
inline const QString path = QStringLiteral("/org/tablora/Tablora");
inline const QString interface = QStringLiteral("org.tablora.Tablora");
inline const QString failedError = QStringLiteral("org.tablora.Tablora.Error.Failed");
} // namespace SessionBusInstance

// The second start's side. Every send ends by `deadline`.
class SessionBusChannel : public InstanceChannel {
public:
    // The first start owns the name a moment after it took the lock: wait that long for it.
    static constexpr int nameWaitMs = 2000;

    explicit SessionBusChannel(QString dataFolder,
                               QDeadlineTimer deadline = QDeadlineTimer(timeLimitMs),
                               QDBusConnection bus = QDBusConnection::sessionBus());
    Reply send(const QStringList& arguments) override;

private:
    QString m_dataFolder;
    QDeadlineTimer m_deadline;
    QDBusConnection m_bus;
};

// The running dashboard's side: owns the name and answers each command line with `handler`.
class SessionBusControl : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tablora.Tablora")

public:
    // Empty when done, else the one line for the caller.
    using Handler = std::function<QString(const QStringList& arguments)>;

    SessionBusControl(QString dataFolder, Handler handler,
                      QDBusConnection bus = QDBusConnection::sessionBus(),
                      QObject* parent = nullptr);
    ~SessionBusControl() override;

    // Takes the name; false, with failure() saying why, without a bus or when it is taken.
    bool start();
    QString failure() const { return m_failure; }

public slots:
    void Command(const QStringList& arguments, const QString& dataFolder);

private:
    QString m_dataFolder;
    Handler m_handler;
    QDBusConnection m_bus;
    QString m_failure;
    bool m_registered = false;
};
