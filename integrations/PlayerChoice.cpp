#include "PlayerChoice.h"

#include <cstring>
#include <tuple>

namespace {

const QString playing = QStringLiteral("Playing");

} // namespace

bool PlayerChoice::isPlayer(const QString& busName) {
    return busName.startsWith(QLatin1String(prefix)) && busName.size() > int(strlen(prefix)) &&
           busName != QLatin1String(prefix) + QStringLiteral("playerctld");
}

bool PlayerChoice::isSpotify(const QString& busName) {
    return busName == QLatin1String(spotify) ||
           busName.startsWith(QLatin1String(spotify) + QLatin1Char('.'));
}

QString PlayerChoice::shortName(const QString& busName) {
    return busName.startsWith(QLatin1String(prefix)) ? busName.mid(int(strlen(prefix))) : busName;
}

void PlayerChoice::update(const QString& busName, const QString& status) {
    const auto found = m_players.constFind(busName);
    if (found != m_players.constEnd() && found->status == status)
        return;
    Player& player = m_players[busName];
    player.status = status;
    player.changed = ++m_events;
    if (status == playing)
        player.started = m_events;
}

void PlayerChoice::remove(const QString& busName) {
    m_players.remove(busName);
}

std::optional<QString> PlayerChoice::chosen() const {
    if (m_pinned)
        return m_players.contains(*m_pinned) ? m_pinned : std::nullopt;
    std::optional<QString> best;
    const auto rank = [](const QString& name, const Player& p) {
        // Spotify first, then a playing player by its start, then any by its last change.
        return std::tuple(isSpotify(name), p.status == playing, p.status == playing ? p.started : 0,
                          p.changed);
    };
    for (auto it = m_players.cbegin(); it != m_players.cend(); ++it) {
        if (!best || rank(it.key(), it.value()) > rank(*best, m_players.value(*best)))
            best = it.key();
    }
    return best;
}
