#pragma once

#include <QHash>
#include <QString>
#include <optional>

// Which of the desktop's music players the widgets follow, by bus name: the Spotify application
// while it runs; else, of the players that play, the one that started last; else the one whose
// playback status changed last (a player that comes counts as a change). A pinned player is
// followed alone, and only while it runs.
class PlayerChoice {
public:
    static constexpr const char* prefix = "org.mpris.MediaPlayer2.";
    static constexpr const char* spotify = "org.mpris.MediaPlayer2.spotify";

    // A bus name of a player to follow: a proxy that mirrors other players is none.
    static bool isPlayer(const QString& busName);
    static bool isSpotify(const QString& busName);
    // The bus name without the common prefix ("vlc"): a name for a player that told none.
    static QString shortName(const QString& busName);

    // A player came, or told its playback status ("Playing", "Paused", "Stopped"; empty when
    // not known yet).
    void update(const QString& busName, const QString& status);
    void remove(const QString& busName);
    void pin(const std::optional<QString>& busName) { m_pinned = busName; }

    std::optional<QString> chosen() const;
    const std::optional<QString>& pinned() const { return m_pinned; }
    bool contains(const QString& busName) const { return m_players.contains(busName); }

private:
    struct Player {
        QString status;
        quint64 started = 0; // when it last started playing, in events
        quint64 changed = 0; // when its status last changed, in events
    };

    QHash<QString, Player> m_players;
    std::optional<QString> m_pinned;
    quint64 m_events = 0;
};
