#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QVariantMap>

// What the fake player is playing, what it can do and what it was asked to do.
class FakePlayerState : public QObject, public QDBusContext {
    Q_OBJECT

public:
    QString identity = QStringLiteral("Spotify");
    QStringList uriSchemes;
    QVariantMap metadata;
    qlonglong position = 0;
    QString playbackStatus = QStringLiteral("Stopped");
    double volume = 0.5;
    bool shuffle = false;
    QString loopStatus = QStringLiteral("None");
    bool canGoNext = true;
    bool canSeek = true;
    QStringList calls;
    bool refuse = false;

    // Answers the current call with "access denied" when refusing.
    bool refused() {
        if (refuse)
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Not allowed"));
        return refuse;
    }

    // Changes the playback status and tells the bus, as players do.
    void setStatus(const QString& status, QDBusConnection& bus) {
        playbackStatus = status;
        QDBusMessage signal =
                QDBusMessage::createSignal(QStringLiteral("/org/mpris/MediaPlayer2"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"),
                                           QStringLiteral("PropertiesChanged"));
        signal << QStringLiteral("org.mpris.MediaPlayer2.Player")
               << QVariantMap{{QStringLiteral("PlaybackStatus"), status}} << QStringList();
        bus.send(signal);
    }
};

// org.mpris.MediaPlayer2: who the player is.
class FakeRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes)

public:
    explicit FakeRootAdaptor(FakePlayerState* state)
        : QDBusAbstractAdaptor(state), m_state(state) {}

    QString identity() const { return m_state->identity; }
    QStringList uriSchemes() const { return m_state->uriSchemes; }

private:
    FakePlayerState* m_state;
};

// org.mpris.MediaPlayer2.Player over the state above.
class FakePlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(bool CanControl READ yes)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanGoPrevious READ yes)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanSeek READ canSeek)

public:
    explicit FakePlayerAdaptor(FakePlayerState* state)
        : QDBusAbstractAdaptor(state), m_state(state) {}

    QVariantMap metadata() const { return m_state->metadata; }
    qlonglong position() const { return m_state->position; }
    QString playbackStatus() const { return m_state->playbackStatus; }
    double volume() const { return m_state->volume; }
    void setVolume(double volume) { m_state->volume = volume; }
    bool shuffle() const { return m_state->shuffle; }
    void setShuffle(bool shuffle) { m_state->shuffle = shuffle; }
    QString loopStatus() const { return m_state->loopStatus; }
    void setLoopStatus(const QString& status) { m_state->loopStatus = status; }
    bool yes() const { return true; }
    bool canGoNext() const { return m_state->canGoNext; }
    bool canSeek() const { return m_state->canSeek; }

public slots:
    void PlayPause() { record(QStringLiteral("PlayPause")); }
    void Next() { record(QStringLiteral("Next")); }
    void Previous() { record(QStringLiteral("Previous")); }
    void SetPosition(const QDBusObjectPath& track, qlonglong position) {
        record(QStringLiteral("SetPosition %1 %2").arg(track.path()).arg(position));
    }
    void OpenUri(const QString& uri) { record(QStringLiteral("OpenUri ") + uri); }

private:
    void record(const QString& call) {
        if (!m_state->refused())
            m_state->calls.append(call);
    }

    FakePlayerState* m_state;
};

// A player of another kind than Spotify, on a connection of its own, with a track loaded whose
// address is a file on this computer.
struct FakePlayer {
    FakePlayerState state;
    QDBusConnection bus;
    QString name;

    FakePlayer(QDBusConnection connection, const QString& id, const QString& identity)
        : bus(connection), name(QStringLiteral("org.mpris.MediaPlayer2.") + id) {
        new FakeRootAdaptor(&state);
        new FakePlayerAdaptor(&state);
        state.identity = identity;
        state.metadata = {{QStringLiteral("xesam:title"), identity + QStringLiteral(" song")},
                          {QStringLiteral("xesam:url"),
                           QStringLiteral("file:///home/someone/Music/song.ogg")}};
        bus.registerObject(QStringLiteral("/org/mpris/MediaPlayer2"), &state);
    }
    bool start() { return bus.registerService(name); }
    void quit() { bus.unregisterService(name); }
};

// Where the fake players' covers come from: a web server on this computer that answers every
// request with `answer`, or never when it is empty.
struct FakeCoverServer {
    QTcpServer server;
    QByteArray answer;
    int requests = 0;

    FakeCoverServer() {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->readAll().contains("\r\n\r\n"))
                    return;
                ++requests;
                if (!answer.isEmpty())
                    socket->write(answer);
                socket->disconnectFromHost();
            });
        });
    }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path);
    }
    static QByteArray reply(const QByteArray& type, const QByteArray& body) {
        return "HTTP/1.1 200 OK\r\nContent-Type: " + type +
               "\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }
};
