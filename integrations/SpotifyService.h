#pragma once

#include "integrations/PlayerArtwork.h"
#include "integrations/PlayerTransport.h"
#include "model/Clock.h"

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QSettings>
#include <functional>
#include <memory>
#include <optional>

// What the desktop's music player plays, and its controls: the Spotify application, or whichever
// player the transport follows. A small state machine around whether the user connected, whether
// the player runs and whether the last request worked. Messages name the player.
class SpotifyService : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(const std::optional<QString>& error)>;

    static constexpr int backOffSeconds = 5;

    SpotifyService(std::shared_ptr<PlayerTransport> transport, std::shared_ptr<const Clock> clock,
                   std::shared_ptr<QSettings> settings,
                   std::shared_ptr<ArtworkReader> artwork = nullptr, QObject* parent = nullptr);

    const QJsonObject& state() const { return m_state; }
    bool isConnected() const { return m_connected; }
    bool isBusy() const { return m_busy; }

    void refresh(std::function<void()> done = {});
    void connect(Done done);
    // "spotify.control": action with an optional value or URI.
    void command(const QString& action, std::optional<double> value, std::optional<QString> uri,
                 Done done);

    // The command body of a control, or the validation message.
    struct Body {
        std::optional<QString> body;
        QString error;
    };
    static Body controlBody(const QString& action, std::optional<double> value,
                            const std::optional<QString>& uri, const QJsonObject& state);

    static QString stateQuery();

    // The current cover by the name in the state's "artwork" path.
    std::optional<Artwork> artwork(const QString& name) const { return m_artwork.picture(name); }
    // Follows this player alone (a bus name); nothing lets the transport choose.
    void pin(const std::optional<QString>& player);

signals:
    void changed();

private:
    void applyReply(const PlayerTransport::Reply& reply);
    void applyTrack(const QStringList& items, const PlayerTransport::Capabilities& can);
    void finishRefresh(const std::function<void()>& done);
    void noticeFollowed();
    void showArtwork();

    std::shared_ptr<PlayerTransport> m_transport;
    std::shared_ptr<const Clock> m_clock;
    std::shared_ptr<QSettings> m_settings;
    QJsonObject m_state;
    bool m_connected = false;
    bool m_busy = false;
    std::optional<QDateTime> m_nextAttempt;
    bool m_attemptedPermissionCheck = false;
    QString m_followed;
    PlayerArtwork m_artwork;
};
