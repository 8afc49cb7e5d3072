#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
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
