#include "SpotifyService.h"

#include "model/linux/PlatformTexts.h"

#include <QRegularExpression>
#include <cmath>

namespace {

double numberOr0(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

QJsonObject disconnected(const QString& message) {
    return {{QStringLiteral("connected"), false}, {QStringLiteral("message"), message}};
}

// A failure always says something.
PlayerTransport::Reply withDescription(PlayerTransport::Reply reply, const QString& player) {
    if (!reply.ok && reply.message.isEmpty())
        reply.message = QStringLiteral("%1 did not respond").arg(player);
    return reply;
}

// The shortest decimal that reads back as the same number, with at least one fractional digit.
QString decimal(double value) {
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    return text;
}

} // namespace

SpotifyService::SpotifyService(std::shared_ptr<PlayerTransport> transport,
                               std::shared_ptr<const Clock> clock,
                               std::shared_ptr<QSettings> settings,
                               std::shared_ptr<ArtworkReader> artwork, QObject* parent)
    : QObject(parent), m_transport(std::move(transport)), m_clock(std::move(clock)),
      m_settings(std::move(settings)),
      m_state(disconnected(QStringLiteral("Connect Spotify to control the desktop app."))),
      m_artwork(std::move(artwork)) {
    QObject::connect(&m_artwork, &PlayerArtwork::changed, this, &SpotifyService::showArtwork);
}

QString SpotifyService::stateQuery() {
    return QStringLiteral(
            "return {name of current track, artist of current track, album of current track, "
            "artwork url of current track, spotify url of current track, (duration of current "
            "track) as text, (player position) as text, (player state) as text, (sound volume) as "
            "text, (shuffling) as text, (repeating) as text}");
}

void SpotifyService::noticeFollowed() {
    // Another player gets its own first answer, not the back-off of the one before.
    const QString followed = m_transport->followed();
    if (followed != m_followed) {
        m_followed = followed;
        m_nextAttempt.reset();
    }
}

void SpotifyService::pin(const std::optional<QString>& player) {
    m_transport->pin(player);
    noticeFollowed();
}

void SpotifyService::refresh(std::function<void()> done) {
    noticeFollowed();
    const QDateTime now = m_clock->now();
    if (m_busy || (m_nextAttempt && now < *m_nextAttempt)) {
        if (done)
            done();
        return;
    }
    if (!m_connected) {
        if (m_attemptedPermissionCheck) {
            if (done)
                done();
            return;
        }
        // Asked once, silently; after that only Connect asks again.
        m_attemptedPermissionCheck = true;
        m_connected = m_transport->permitted();
        if (!m_connected) {
            if (done)
                done();
            return;
        }
    }
    m_busy = true;
    if (!m_transport->isRunning()) {
        m_state = disconnected(QStringLiteral("Open %1 to resume playback controls.")
                                       .arg(m_transport->playerName()));
        m_artwork.follow({});
        finishRefresh(done);
        return;
    }
    const QString asked = m_transport->followed();
    m_transport->run(stateQuery(), this, [this, done, asked](const PlayerTransport::Reply& reply) {
        // A player that quit while it was asked: the one followed now answers instead.
        if (!reply.ok && m_transport->followed() != asked) {
            m_busy = false;
            refresh(done);
            return;
        }
        applyReply(reply);
        finishRefresh(done);
    });
}

void SpotifyService::applyReply(const PlayerTransport::Reply& reply) {
    const QString player = m_transport->playerName();
    PlayerTransport::Reply outcome = withDescription(reply, player);
    if (outcome.ok && outcome.items.size() != 11)
        outcome = {false, {}, -1, QStringLiteral("Play a track in %1 to get started").arg(player)};
    if (outcome.ok) {
        applyTrack(outcome.items, outcome.can);
        return;
    }
    QString message;
    if (outcome.code == PlayerTransport::notPermitted) {
        message = PlatformTexts::spotifyNotPermitted(player);
        m_connected = false;
    } else if (outcome.code == PlayerTransport::timedOut) {
        message = QStringLiteral("%1 didn’t respond. Retrying…").arg(player);
        m_nextAttempt = m_clock->now().addSecs(backOffSeconds);
    } else {
        message = player + QStringLiteral(": ") + outcome.message +
                  QStringLiteral(". Play a track or try Connect again.");
        m_nextAttempt = m_clock->now().addSecs(backOffSeconds);
    }
    m_state = disconnected(message);
    m_artwork.follow({});
}

void SpotifyService::applyTrack(const QStringList& i, const PlayerTransport::Capabilities& can) {
    // The player's own cover address stays here: pages get the dashboard's copy.
    m_artwork.follow(i[3]);
    m_state = {{QStringLiteral("connected"), true},
               {QStringLiteral("title"), i[0]},
               {QStringLiteral("artist"), i[1]},
               {QStringLiteral("album"), i[2]},
               {QStringLiteral("artwork"), m_artwork.path()},
               {QStringLiteral("uri"), i[4]},
               {QStringLiteral("duration"), numberOr0(i[5]) / 1000},
               {QStringLiteral("position"), numberOr0(i[6])},
               {QStringLiteral("playing"), i[7] == QStringLiteral("playing")},
               {QStringLiteral("volume"), numberOr0(i[8])},
               {QStringLiteral("shuffle"), i[9] == QStringLiteral("true")},
               {QStringLiteral("repeat"), i[10] == QStringLiteral("true")},
               {QStringLiteral("player"), m_transport->playerName()},
               {QStringLiteral("canPlay"), can.play},
               {QStringLiteral("canPause"), can.pause},
               {QStringLiteral("canGoNext"), can.goNext},
               {QStringLiteral("canGoPrevious"), can.goPrevious},
               {QStringLiteral("canSeek"), can.seek},
               {QStringLiteral("canShuffle"), can.shuffle},
               {QStringLiteral("canRepeat"), can.repeat},
               {QStringLiteral("canSetVolume"), can.setVolume}};
}

void SpotifyService::showArtwork() {
    if (m_state.value(QStringLiteral("connected")).toBool()) {
        m_state.insert(QStringLiteral("artwork"), m_artwork.path());
        emit changed();
    }
}

void SpotifyService::finishRefresh(const std::function<void()>& done) {
    emit changed();
    m_busy = false;
    if (done)
        done();
}

void SpotifyService::connect(Done done) {
    if (!m_transport->isInstalled()) {
        done(QStringLiteral("Install the %1 desktop app first").arg(m_transport->playerName()));
        return;
    }
    const auto connected = [this, done] {
        m_settings->setValue(QStringLiteral("spotifyEnabled"), true);
        m_connected = true;
        m_nextAttempt.reset();
        refresh([done] { done(std::nullopt); });
    };
    if (m_transport->isRunning()) {
        connected();
        return;
    }
    m_transport->launch(this, [connected, done](const std::optional<QString>& error) {
        if (error)
            done(error);
        else
            connected();
    });
}

SpotifyService::Body SpotifyService::controlBody(const QString& action, std::optional<double> value,
                                                 const std::optional<QString>& uri,
                                                 const QJsonObject& state) {
    static const QHash<QString, QString> simple = {
            {QStringLiteral("toggle"), QStringLiteral("playpause")},
            {QStringLiteral("next"), QStringLiteral("next track")},
            {QStringLiteral("previous"), QStringLiteral("previous track")},
            {QStringLiteral("shuffle"), QStringLiteral("set shuffling to not shuffling")},
            {QStringLiteral("repeat"), QStringLiteral("set repeating to not repeating")}};
    if (simple.contains(action))
        return {simple.value(action), {}};
    if (action == QStringLiteral("volume")) {
        if (!value || !std::isfinite(*value) || *value < 0 || *value > 100)
            return {std::nullopt, QStringLiteral("Invalid volume")};
        return {QStringLiteral("set sound volume to %1").arg(qint64(std::trunc(*value))), {}};
    }
    if (action == QStringLiteral("seek")) {
        const QJsonValue duration = state.value(QStringLiteral("duration"));
        const bool valid = value && std::isfinite(*value) && *value >= 0 &&
                           (duration.isDouble() ? *value <= duration.toDouble() : *value == 0);
        if (!valid)
            return {std::nullopt, QStringLiteral("Invalid position")};
        return {QStringLiteral("set player position to ") + decimal(*value), {}};
    }
    if (action == QStringLiteral("playURI")) {
        static const QRegularExpression spotifyURI(QRegularExpression::anchoredPattern(
                QStringLiteral("spotify:(track|album|playlist):[A-Za-z0-9]+")));
        if (!uri || !spotifyURI.match(*uri).hasMatch())
            return {std::nullopt, QStringLiteral("Use a Spotify track, album or playlist URI")};
        return {QStringLiteral("play track \"") + *uri + QLatin1Char('"'), {}};
    }
    return {std::nullopt, QStringLiteral("Unknown Spotify control")};
}

void SpotifyService::command(const QString& action, std::optional<double> value,
                             std::optional<QString> uri, Done done) {
    const Body body = controlBody(action, value, uri, m_state);
    if (!body.body) {
        done(body.error);
        return;
    }
    if (!m_connected) {
        done(QStringLiteral("Connect Spotify first"));
        return;
    }
    m_transport->run(*body.body, this, [this, done](const PlayerTransport::Reply& reply) {
        if (!reply.ok) {
            done(withDescription(reply, m_transport->playerName()).message);
            return;
        }
        refresh([done] { done(std::nullopt); });
    });
}
