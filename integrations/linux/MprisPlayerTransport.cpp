#include "MprisPlayerTransport.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

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

QVariantMap asMap(const QVariant& value) {
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

QString text(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QStringList>(value.value<QDBusArgument>()).join(QStringLiteral(", "));
    return value.toString();
}

QString flag(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
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
              << text(metadata.value(QStringLiteral("xesam:url")))
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

} // namespace

MprisPlayerTransport::MprisPlayerTransport(std::shared_ptr<AppLauncher> launcher,
                                           QDBusConnection bus, int callTimeoutMs, QObject* parent)
    : QObject(parent), m_launcher(std::move(launcher)), m_bus(bus), m_timeout(callTimeoutMs) {
    if (!m_bus.isConnected())
        return;
    // Told when the player comes and goes, instead of asking the bus every second.
    m_watcher = new QDBusServiceWatcher(QLatin1String(service), m_bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                m_running = !owner.isEmpty();
            });
    const QDBusReply<bool> registered =
            m_bus.interface()->isServiceRegistered(QLatin1String(service));
    m_running = registered.isValid() && registered.value();
}

void MprisPlayerTransport::call(const QString& interface, const QString& method,
                                const Arguments& arguments, QObject* receiver,
                                std::function<void(const QDBusMessage&)> onReply,
                                Completion completion) {
    QDBusMessage message =
            QDBusMessage::createMethodCall(QLatin1String(service), objectPath, interface, method);
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

void MprisPlayerTransport::queryState(QObject* receiver, Completion completion) {
    call(
            propertiesInterface, QStringLiteral("GetAll"), {playerInterface}, receiver,
            [completion](const QDBusMessage& reply) {
                completion(success(stateItems(asMap(reply.arguments().value(0)))));
            },
            completion);
}

void MprisPlayerTransport::setProperty(const QString& name, const QVariant& value,
                                       QObject* receiver, Completion completion) {
    call(
            propertiesInterface, QStringLiteral("Set"),
            {playerInterface, name, QVariant::fromValue(QDBusVariant(value))}, receiver,
            [completion](const QDBusMessage&) { completion(success()); }, completion);
}

void MprisPlayerTransport::run(const QString& body, QObject* receiver, Completion completion) {
    static const QRegularExpression volume(QStringLiteral("^set sound volume to (\\d+)$"));
    static const QRegularExpression position(
            QStringLiteral("^set player position to ([0-9.eE+-]+)$"));
    static const QRegularExpression playTrack(QStringLiteral("^play track \"([^\"]+)\"$"));
    const auto done = [completion](const QDBusMessage&) { completion(success()); };
    const auto method = [&](const char* name) {
        call(playerInterface, QLatin1String(name), {}, receiver, done, completion);
    };

    if (body.startsWith(QStringLiteral("return {"))) {
        queryState(receiver, completion);
    } else if (body == QStringLiteral("playpause")) {
        method("PlayPause");
    } else if (body == QStringLiteral("next track")) {
        method("Next");
    } else if (body == QStringLiteral("previous track")) {
        method("Previous");
    } else if (body == QStringLiteral("set shuffling to not shuffling") ||
               body == QStringLiteral("set repeating to not repeating")) {
        const bool shuffle = body.contains(QStringLiteral("shuffling"));
        // Read the current value, then write its opposite.
        QPointer<QObject> guard(receiver);
        call(
                propertiesInterface, QStringLiteral("Get"),
                {playerInterface,
                 shuffle ? QStringLiteral("Shuffle") : QStringLiteral("LoopStatus")},
                receiver,
                [this, guard, shuffle, completion](const QDBusMessage& reply) {
                    const QVariant current =
                            reply.arguments().value(0).value<QDBusVariant>().variant();
                    if (shuffle)
                        setProperty(QStringLiteral("Shuffle"), !current.toBool(), guard,
                                    completion);
                    else
                        setProperty(QStringLiteral("LoopStatus"),
                                    current.toString() == QStringLiteral("None")
                                            ? QStringLiteral("Playlist")
                                            : QStringLiteral("None"),
                                    guard, completion);
                },
                completion);
    } else if (const auto match = volume.match(body); match.hasMatch()) {
        setProperty(QStringLiteral("Volume"), match.captured(1).toDouble() / 100, receiver,
                    completion);
    } else if (const auto match = position.match(body); match.hasMatch()) {
        // SetPosition names the track it applies to.
        const qlonglong microseconds = qlonglong(match.captured(1).toDouble() * 1e6);
        QPointer<QObject> guard(receiver);
        call(
                propertiesInterface, QStringLiteral("Get"),
                {playerInterface, QStringLiteral("Metadata")}, receiver,
                [this, guard, microseconds, completion, done](const QDBusMessage& reply) {
                    const QVariantMap metadata =
                            asMap(reply.arguments().value(0).value<QDBusVariant>().variant());
                    const QVariant track = metadata.value(QStringLiteral("mpris:trackid"));
                    const QDBusObjectPath trackID = track.canConvert<QDBusObjectPath>()
                                                            ? track.value<QDBusObjectPath>()
                                                            : QDBusObjectPath(track.toString());
                    call(playerInterface, QStringLiteral("SetPosition"),
                         {QVariant::fromValue(trackID), microseconds}, guard, done, completion);
                },
                completion);
    } else if (const auto match = playTrack.match(body); match.hasMatch()) {
        call(playerInterface, QStringLiteral("OpenUri"), {match.captured(1)}, receiver, done,
             completion);
    } else {
        QTimer::singleShot(0, receiver, [completion] {
            completion({false, {}, -1, QStringLiteral("Unsupported player command")});
        });
    }
}

std::optional<QString> MprisPlayerTransport::location() {
    for (const char* id : {"spotify", "com.spotify.Client", "spotify-client"}) {
        if (const auto found = m_launcher ? m_launcher->locate(QLatin1String(id)) : std::nullopt)
            return found;
    }
    const QString executable = QStandardPaths::findExecutable(QStringLiteral("spotify"));
    return executable.isEmpty() ? std::nullopt : std::optional(executable);
}

bool MprisPlayerTransport::isInstalled() {
    return location().has_value();
}

void MprisPlayerTransport::launch(QObject* receiver,
                                  std::function<void(const std::optional<QString>&)> done) {
    const auto found = location();
    if (!found || !m_launcher) {
        done(QStringLiteral("Install the Spotify desktop app first"));
        return;
    }
    QPointer<QObject> guard(receiver);
    m_launcher->open(*found, [guard, done](const std::optional<QString>& error) {
        if (guard)
            done(error);
    });
}
