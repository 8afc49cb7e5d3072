#pragma once

#include "integrations/PlayerTransport.h"
#include "model/AppLauncher.h"

#include <QDBusConnection>
#include <QPointer>
#include <memory>

class QDBusServiceWatcher;

// Runs the player's command bodies as MPRIS calls on org.mpris.MediaPlayer2.spotify over the
// session bus. Every call is asynchronous with its own time limit.
class MprisPlayerTransport : public QObject, public PlayerTransport {
    Q_OBJECT

public:
    static constexpr const char* service = "org.mpris.MediaPlayer2.spotify";

    MprisPlayerTransport(std::shared_ptr<AppLauncher> launcher,
                         QDBusConnection bus = QDBusConnection::sessionBus(),
                         int callTimeoutMs = 3000, QObject* parent = nullptr);

    void run(const QString& body, QObject* receiver, Completion completion) override;
    // The session bus asks nobody: it is reachable or not.
    bool permitted() override { return m_bus.isConnected(); }
    bool isRunning() override { return m_running; }
    bool isInstalled() override;
    void launch(QObject* receiver,
                std::function<void(const std::optional<QString>&)> done) override;

private:
    using Arguments = QList<QVariant>;
    void call(const QString& interface, const QString& method, const Arguments& arguments,
              QObject* receiver, std::function<void(const QDBusMessage&)> onReply,
              Completion completion);
    void queryState(QObject* receiver, Completion completion);
    void setProperty(const QString& name, const QVariant& value, QObject* receiver,
                     Completion completion);
    std::optional<QString> location();

    std::shared_ptr<AppLauncher> m_launcher;
    QDBusConnection m_bus;
    int m_timeout;
    bool m_running = false;
    QDBusServiceWatcher* m_watcher = nullptr;
};
