#pragma once

#include "integrations/PlayerChoice.h"
#include "integrations/PlayerTransport.h"
#include "model/AppLauncher.h"

#include <QDBusConnection>
#include <QHash>
#include <QVariantMap>
#include <memory>

class QDBusMessage;

// Runs the player's command bodies as MPRIS calls over the session bus, on the player that
// PlayerChoice picks among every org.mpris.MediaPlayer2.* name. The bus tells when players come,
// go and change their playback status; only the followed player is asked anything on a refresh.
// Every call is asynchronous with its own time limit.
class MprisPlayerTransport : public QObject, public PlayerTransport {
    Q_OBJECT

public:
    static constexpr const char* service = PlayerChoice::spotify;

    MprisPlayerTransport(std::shared_ptr<AppLauncher> launcher,
                         QDBusConnection bus = QDBusConnection::sessionBus(),
                         int callTimeoutMs = 3000, QObject* parent = nullptr);

    void run(const QString& body, QObject* receiver, Completion completion) override;
    // The session bus asks nobody: it is reachable or not.
    bool permitted() override { return m_bus.isConnected(); }
    bool isRunning() override { return m_choice.chosen().has_value(); }
    bool isInstalled() override;
    void launch(QObject* receiver,
                std::function<void(const std::optional<QString>&)> done) override;
    QString playerName() override;
    QString followed() override { return m_choice.chosen().value_or(QString()); }
    void pin(const std::optional<QString>& player) override;

private slots:
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void propertiesChanged(const QDBusMessage& message);

private:
    // What a player told about itself when it came.
    struct Player {
        QString owner; // its unique connection name
        QString name;  // as its user knows it
        QString desktopEntry;
        QStringList uriSchemes;
    };
    // What Connect opens while no player runs.
    struct Target {
        QString name;
        std::optional<QString> location;
    };
    struct Control;

    using Arguments = QList<QVariant>;
    void call(const QString& busName, const QString& interface, const QString& method,
              const Arguments& arguments, QObject* receiver,
              std::function<void(const QDBusMessage&)> onReply, Completion completion);
    void getAll(const QString& busName, QObject* receiver,
                std::function<void(const QVariantMap&)> onProperties, Completion completion);
    void setProperty(const QString& busName, const QString& name, const QVariant& value,
                     QObject* receiver, Completion completion);
    void perform(const QString& busName, const Control& control, const QVariantMap& properties,
                 QObject* receiver, Completion completion);
    std::optional<QString> refusal(const QString& busName, const Control& control,
                                   const QVariantMap& properties);

    void listPlayers();
    void add(const QString& busName);
    QString nameOf(const QString& busName) const;
    const Target& target();
    std::optional<QString> spotifyLocation();
    std::optional<QString> applicationName(const std::optional<QString>& location);

    std::shared_ptr<AppLauncher> m_launcher;
    QDBusConnection m_bus;
    int m_timeout;
    PlayerChoice m_choice;
    QHash<QString, Player> m_players; // by bus name
    std::optional<Target> m_target;   // found when first needed
};
