#include "MprisPlayerTransport.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QPointer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString rootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString busService = QStringLiteral("org.freedesktop.DBus");
// The launcher's identifier for the desktop's default music player.
const QString musicPlayerID = QStringLiteral("com.apple.Music");

PlayerTransport::Reply success(QStringList items = {}) {
    return {true, std::move(items), 0, {}};
}

PlayerTransport::Reply failure(const QDBusError& error) {
    switch (error.type()) {
    case QDBusError::AccessDenied:
        return {false, {}, PlayerTransport::notPermitted, error.message()};
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return {false, {}, PlayerTransport::timedOut, error.message()};
    default:
        return {false, {}, -1, error.message()};
    }
}

PlayerTransport::Reply failure(const QString& message) {
    return {false, {}, -1, message};
}

QVariantMap asMap(const QVariant& value) {
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

QStringList asList(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList();
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QStringList>(value.value<QDBusArgument>());
    return {};
}

QString text(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList || value.canConvert<QDBusArgument>())
        return asList(value).join(QStringLiteral(", "));
    return value.toString();
}

QString flag(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

bool isPlaying(const QVariantMap& properties) {
    return properties.value(QStringLiteral("PlaybackStatus")).toString() ==
           QStringLiteral("Playing");
}

// A track's address is a Spotify link or nothing: another player's would be a path on this
// computer, which is none of a page's business.
QString spotifyLink(const QString& address) {
    return address.startsWith(QStringLiteral("spotify:")) ||
                           address.startsWith(QStringLiteral("https://open.spotify.com/"))
                   ? address
                   : QString();
}

// The eleven reply items of the state query, or fewer when no track is loaded.
QStringList stateItems(const QVariantMap& properties) {
    const QVariantMap metadata = asMap(properties.value(QStringLiteral("Metadata")));
    QStringList items;
    const bool hasTrack = metadata.contains(QStringLiteral("xesam:title")) ||
                          metadata.contains(QStringLiteral("mpris:trackid"));
    if (hasTrack) {
        items << text(metadata.value(QStringLiteral("xesam:title")))
              << text(metadata.value(QStringLiteral("xesam:artist")))
              << text(metadata.value(QStringLiteral("xesam:album")))
              << text(metadata.value(QStringLiteral("mpris:artUrl")))
              << spotifyLink(text(metadata.value(QStringLiteral("xesam:url"))))
              // Microseconds on the bus, milliseconds in the reply.
              << QString::number(metadata.value(QStringLiteral("mpris:length")).toLongLong() /
                                 1000);
    }
    const double position = properties.value(QStringLiteral("Position")).toLongLong() / 1e6;
    const QString status = properties.value(QStringLiteral("PlaybackStatus")).toString().toLower();
    const double volume = properties.value(QStringLiteral("Volume"), 0.0).toDouble() * 100;
    const QString loop =
            properties.value(QStringLiteral("LoopStatus"), QStringLiteral("None")).toString();
    items << QString::number(position) << status << QString::number(volume)
          << flag(properties.value(QStringLiteral("Shuffle")).toBool())
          << flag(loop != QStringLiteral("None"));
    return items;
}

// What the player says it can do. Nothing is assumed: a property it does not have is a "no".
PlayerTransport::Capabilities capabilities(const QVariantMap& properties) {
    const bool control = properties.value(QStringLiteral("CanControl")).toBool();
    const auto can = [&](const char* name) {
        return control && properties.value(QLatin1String(name)).toBool();
    };
    const auto has = [&](const char* name) {
        return control && properties.contains(QLatin1String(name));
    };
    return {can("CanPlay"), can("CanPause"), can("CanGoNext"),  can("CanGoPrevious"),
            can("CanSeek"), has("Shuffle"),  has("LoopStatus"), has("Volume")};
}

} // namespace

// A control body, read back into what it asks for.
struct MprisPlayerTransport::Control {
    enum class Kind { playPause, next, previous, shuffle, repeat, volume, seek, openUri };
    Kind kind;
    double value = 0;
    QString uri;

    static std::optional<Control> read(const QString& body) {
        static const QRegularExpression volume(QStringLiteral("^set sound volume to (\\d+)$"));
        static const QRegularExpression position(
                QStringLiteral("^set player position to ([0-9.eE+-]+)$"));
        static const QRegularExpression playTrack(QStringLiteral("^play track \"([^\"]+)\"$"));
        static const QHash<QString, Kind> simple = {
                {QStringLiteral("playpause"), Kind::playPause},
                {QStringLiteral("next track"), Kind::next},
                {QStringLiteral("previous track"), Kind::previous},
                {QStringLiteral("set shuffling to not shuffling"), Kind::shuffle},
                {QStringLiteral("set repeating to not repeating"), Kind::repeat}};
        if (simple.contains(body))
            return Control{simple.value(body), 0, {}};
        if (const auto match = volume.match(body); match.hasMatch())
            return Control{Kind::volume, match.captured(1).toDouble(), {}};
        if (const auto match = position.match(body); match.hasMatch())
            return Control{Kind::seek, match.captured(1).toDouble(), {}};
        if (const auto match = playTrack.match(body); match.hasMatch())
            return Control{Kind::openUri, 0, match.captured(1)};
        return std::nullopt;
    }
};

MprisPlayerTransport::MprisPlayerTransport(std::shared_ptr<AppLauncher> launcher,
                                           QDBusConnection bus, int callTimeoutMs, QObject* parent)
    : QObject(parent), m_launcher(std::move(launcher)), m_bus(bus), m_timeout(callTimeoutMs) {
    if (!m_bus.isConnected())
        return;
    // Told when players come, go and change, instead of asking every one of them each second.
    // A service watcher with a wildcard never fires here: the bus's own signal is filtered.
    m_bus.connect(busService, QStringLiteral("/org/freedesktop/DBus"), busService,
                  QStringLiteral("NameOwnerChanged"), this,
                  SLOT(nameOwnerChanged(QString, QString, QString)));
    m_bus.connect(QString(), objectPath, propertiesInterface, QStringLiteral("PropertiesChanged"),
                  this, SLOT(propertiesChanged(QDBusMessage)));
    listPlayers();
}

// ---- Following the players

void MprisPlayerTransport::listPlayers() {
    const QDBusMessage list =
            QDBusMessage::createMethodCall(busService, QStringLiteral("/org/freedesktop/DBus"),
                                           busService, QStringLiteral("ListNames"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(list, m_timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        for (const QString& name : watcher->reply().arguments().value(0).toStringList()) {
            if (PlayerChoice::isPlayer(name))
                add(name);
        }
    });
}

void MprisPlayerTransport::nameOwnerChanged(const QString& name, const QString&,
                                            const QString& newOwner) {
    if (!PlayerChoice::isPlayer(name))
        return;
    if (!newOwner.isEmpty()) {
        add(name);
        return;
    }
    m_choice.remove(name);
    // What the pinned player said of itself names it while it is away.
    if (m_choice.pinned() != name)
        m_players.remove(name);
}

void MprisPlayerTransport::add(const QString& busName) {
    if (!m_choice.contains(busName))
        m_choice.update(busName, {});
    const auto ignore = [](const Reply&) {};
    call(
            busName, propertiesInterface, QStringLiteral("GetAll"), {rootInterface}, this,
            [this, busName](const QDBusMessage& reply) {
                const QVariantMap properties = asMap(reply.arguments().value(0));
                Player player{reply.service(),
                              properties.value(QStringLiteral("Identity")).toString().trimmed(),
                              properties.value(QStringLiteral("DesktopEntry")).toString(),
                              asList(properties.value(QStringLiteral("SupportedUriSchemes")))};
                if (player.name.isEmpty() && !player.desktopEntry.isEmpty() && m_launcher)
                    player.name = applicationName(m_launcher->locate(player.desktopEntry))
                                          .value_or(QString());
                m_players.insert(busName, player);
            },
            ignore);
    call(
            busName, propertiesInterface, QStringLiteral("Get"),
            {playerInterface, QStringLiteral("PlaybackStatus")}, this,
            [this, busName](const QDBusMessage& reply) {
                if (m_choice.contains(busName))
                    m_choice.update(
                            busName,
                            reply.arguments().value(0).value<QDBusVariant>().variant().toString());
            },
            ignore);
}

void MprisPlayerTransport::propertiesChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.value(0).toString() != playerInterface)
        return;
    const QVariantMap changed = asMap(arguments.value(1));
    if (!changed.contains(QStringLiteral("PlaybackStatus")))
        return;
    // The signal comes from a connection; the players are known by the names it owns.
    for (auto it = m_players.cbegin(); it != m_players.cend(); ++it) {
        if (it->owner == message.service() && m_choice.contains(it.key()))
            m_choice.update(it.key(), changed.value(QStringLiteral("PlaybackStatus")).toString());
    }
}

void MprisPlayerTransport::pin(const std::optional<QString>& player) {
    if (player == m_choice.pinned())
        return;
    m_choice.pin(player);
    m_target.reset();
}

QString MprisPlayerTransport::nameOf(const QString& busName) const {
    const QString known = m_players.value(busName).name;
    if (!known.isEmpty())
        return known;
    return PlayerChoice::isSpotify(busName) ? QStringLiteral("Spotify")
                                            : PlayerChoice::shortName(busName);
}

QString MprisPlayerTransport::playerName() {
    if (const auto chosen = m_choice.chosen())
        return nameOf(*chosen);
    return target().name;
}

// ---- Calls

void MprisPlayerTransport::call(const QString& busName, const QString& interface,
                                const QString& method, const Arguments& arguments,
                                QObject* receiver, std::function<void(const QDBusMessage&)> onReply,
                                Completion completion) {
    QDBusMessage message = QDBusMessage::createMethodCall(busName, objectPath, interface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, m_timeout), this);
    QPointer<QObject> guard(receiver);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [watcher, guard, onReply, completion](QDBusPendingCallWatcher*) {
                watcher->deleteLater();
                if (!guard)
                    return;
                const QDBusMessage reply = watcher->reply();
                if (reply.type() == QDBusMessage::ErrorMessage)
                    completion(failure(watcher->error()));
                else
                    onReply(reply);
            });
}

void MprisPlayerTransport::getAll(const QString& busName, QObject* receiver,
                                  std::function<void(const QVariantMap&)> onProperties,
                                  Completion completion) {
    call(
            busName, propertiesInterface, QStringLiteral("GetAll"), {playerInterface}, receiver,
            [this, busName, onProperties](const QDBusMessage& reply) {
                const QVariantMap properties = asMap(reply.arguments().value(0));
                // Players that never signal a change are still told apart by what they answer.
                if (m_choice.contains(busName))
                    m_choice.update(busName,
                                    properties.value(QStringLiteral("PlaybackStatus")).toString());
                onProperties(properties);
            },
            completion);
}

void MprisPlayerTransport::setProperty(const QString& busName, const QString& name,
                                       const QVariant& value, QObject* receiver,
                                       Completion completion) {
    call(
            busName, propertiesInterface, QStringLiteral("Set"),
            {playerInterface, name, QVariant::fromValue(QDBusVariant(value))}, receiver,
            [completion](const QDBusMessage&) { completion(success()); }, completion);
}

void MprisPlayerTransport::run(const QString& body, QObject* receiver, Completion completion) {
    const auto later = [receiver, completion](const Reply& reply) {
        QTimer::singleShot(0, receiver, [completion, reply] { completion(reply); });
    };
    const std::optional<QString> chosen = m_choice.chosen();
    if (!chosen) {
        later(failure(QStringLiteral("%1 is not running").arg(playerName())));
        return;
    }
    const QString busName = *chosen;
    if (body.startsWith(QStringLiteral("return {"))) {
        getAll(
                busName, receiver,
                [completion](const QVariantMap& properties) {
                    Reply reply = success(stateItems(properties));
                    reply.can = capabilities(properties);
                    completion(reply);
                },
                completion);
        return;
    }
    const std::optional<Control> control = Control::read(body);
    if (!control) {
        later(failure(QStringLiteral("Unsupported player command")));
        return;
    }
    // Asked first: a player that cannot do something ignores the request without a word.
    QPointer<QObject> guard(receiver);
    getAll(
            busName, receiver,
            [this, busName, wanted = *control, guard, completion](const QVariantMap& properties) {
                if (const auto refused = refusal(busName, wanted, properties))
                    completion(failure(*refused));
                else
                    perform(busName, wanted, properties, guard, completion);
            },
            completion);
}

std::optional<QString> MprisPlayerTransport::refusal(const QString& busName, const Control& control,
                                                     const QVariantMap& properties) {
    const Capabilities can = capabilities(properties);
    const auto unless = [&](bool able, const char* what) -> std::optional<QString> {
        if (able)
            return std::nullopt;
        return QStringLiteral("%1 can’t %2").arg(nameOf(busName), QLatin1String(what));
    };
    switch (control.kind) {
    case Control::Kind::playPause:
        return isPlaying(properties) ? unless(can.pause, "pause")
                                     : unless(can.play, "play right now");
    case Control::Kind::next:
        return unless(can.goNext, "go to the next track");
    case Control::Kind::previous:
        return unless(can.goPrevious, "go to the previous track");
    case Control::Kind::shuffle:
        return unless(can.shuffle, "shuffle");
    case Control::Kind::repeat:
        return unless(can.repeat, "repeat");
    case Control::Kind::volume:
        return unless(can.setVolume, "change its volume");
    case Control::Kind::seek:
        return unless(can.seek, "seek in this track");
    case Control::Kind::openUri:
        return unless(
                PlayerChoice::isSpotify(busName) ||
                        m_players.value(busName).uriSchemes.contains(QStringLiteral("spotify")),
                "play Spotify links");
    }
    return std::nullopt;
}

void MprisPlayerTransport::perform(const QString& busName, const Control& control,
                                   const QVariantMap& properties, QObject* receiver,
                                   Completion completion) {
    const auto done = [completion](const QDBusMessage&) { completion(success()); };
    const auto method = [&](const QString& name, const Arguments& arguments = {}) {
        call(busName, playerInterface, name, arguments, receiver, done, completion);
    };
    switch (control.kind) {
    case Control::Kind::playPause:
        return method(QStringLiteral("PlayPause"));
    case Control::Kind::next:
        return method(QStringLiteral("Next"));
    case Control::Kind::previous:
        return method(QStringLiteral("Previous"));
    case Control::Kind::shuffle:
        return setProperty(busName, QStringLiteral("Shuffle"),
                           !properties.value(QStringLiteral("Shuffle")).toBool(), receiver,
                           completion);
    case Control::Kind::repeat: {
        const bool off =
                properties.value(QStringLiteral("LoopStatus")).toString() == QStringLiteral("None");
        return setProperty(busName, QStringLiteral("LoopStatus"),
                           off ? QStringLiteral("Playlist") : QStringLiteral("None"), receiver,
                           completion);
    }
    case Control::Kind::volume:
        return setProperty(busName, QStringLiteral("Volume"), control.value / 100, receiver,
                           completion);
    case Control::Kind::seek: {
        // SetPosition names the track it applies to.
        const QVariant track =
                asMap(properties.value(QStringLiteral("Metadata"))).value("mpris:trackid");
        const QDBusObjectPath trackID = track.canConvert<QDBusObjectPath>()
                                                ? track.value<QDBusObjectPath>()
                                                : QDBusObjectPath(track.toString());
        return method(QStringLiteral("SetPosition"),
                      {QVariant::fromValue(trackID), qlonglong(control.value * 1e6)});
    }
    case Control::Kind::openUri:
        return method(QStringLiteral("OpenUri"), {control.uri});
    }
}

// ---- Opening a player

std::optional<QString>
MprisPlayerTransport::applicationName(const std::optional<QString>& location) {
    if (!location || !m_launcher)
        return std::nullopt;
    const auto application = m_launcher->inspect(*location);
    return application ? std::optional(application->name) : std::nullopt;
}

std::optional<QString> MprisPlayerTransport::spotifyLocation() {
    for (const char* id : {"spotify", "com.spotify.Client", "spotify-client"}) {
        if (const auto found = m_launcher ? m_launcher->locate(QLatin1String(id)) : std::nullopt)
            return found;
    }
    const QString executable = QStandardPaths::findExecutable(QStringLiteral("spotify"));
    return executable.isEmpty() ? std::nullopt : std::optional(executable);
}

const MprisPlayerTransport::Target& MprisPlayerTransport::target() {
    if (m_target)
        return *m_target;
    const auto locate = [this](const QString& id) {
        return m_launcher && !id.isEmpty() ? m_launcher->locate(id) : std::nullopt;
    };
    if (const auto pinned = m_choice.pinned()) {
        // The pinned player alone: opening another would not be followed.
        const Player known = m_players.value(*pinned);
        auto location = locate(known.desktopEntry);
        if (!location)
            location = locate(PlayerChoice::shortName(*pinned));
        const QString name = known.name.isEmpty()
                                     ? applicationName(location).value_or(nameOf(*pinned))
                                     : known.name;
        m_target = Target{name, location};
    } else if (const auto music = locate(musicPlayerID)) {
        m_target = Target{applicationName(music).value_or(QStringLiteral("Music")), music};
    } else {
        m_target = Target{QStringLiteral("Spotify"), spotifyLocation()};
    }
    return *m_target;
}

bool MprisPlayerTransport::isInstalled() {
    if (isRunning())
        return true;
    m_target.reset(); // the user asks: the desktop's applications may have changed meanwhile
    return target().location.has_value();
}

void MprisPlayerTransport::launch(QObject* receiver,
                                  std::function<void(const std::optional<QString>&)> done) {
    const Target& found = target();
    if (!found.location || !m_launcher) {
        done(QStringLiteral("Install the %1 desktop app first").arg(found.name));
        return;
    }
    QPointer<QObject> guard(receiver);
    m_launcher->open(*found.location, [guard, done](const std::optional<QString>& error) {
        if (guard)
            done(error);
    });
}
