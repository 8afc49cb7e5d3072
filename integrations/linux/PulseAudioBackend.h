#pragma once

#include "integrations/AudioBackend.h"

#include <QHash>
#include <QObject>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

// The sound server through libpulse (PulseAudio, or PipeWire's pulse server). libpulse runs in
// its own thread; everything it reports is copied to the main thread, which keeps the mirror that
// reads answer from. The microphone level is computed on libpulse's thread.
class PulseAudioBackend : public QObject, public AudioBackend {
    Q_OBJECT

public:
    static constexpr int meterFrames = 2048;
    // A server that went away is looked for again after the first delay, then after twice as
    // long each time up to the last: a restart is followed at once, a server that stays away
    // costs a connection attempt every few seconds.
    static constexpr int firstReconnectMilliseconds = 500;
    static constexpr int lastReconnectMilliseconds = 4000;

    explicit PulseAudioBackend(QObject* parent = nullptr);
    ~PulseAudioBackend() override;

    QList<Output> outputs() const override;
    std::optional<QString> defaultOutput() const override;
    std::optional<double> volume() const override;
    std::optional<bool> muted() const override;
    void setVolume(double volume, QObject* receiver, Completion completion) override;
    void setMuted(bool muted, QObject* receiver, Completion completion) override;
    void setDefaultOutput(const QString& id, QObject* receiver, Completion completion) override;
    void startMicrophone(QObject* receiver, LevelHandler level, StartHandler started) override;
    void stopMicrophone() override;

    bool isConnected() const { return m_ready; }

signals:
    // The server's state changed (the mirror was updated).
    void serverChanged();

public:
    // The mirror of one sink; public for libpulse's callbacks.
    struct Sink {
        quint32 index = 0;
        QString name;
        QString description;
        int channels = 0;
        double volume = 0;
        bool muted = false;
    };
    struct Request;
    struct Meter;

private:
    void connectToServer();
    void disconnectFromServer();
    void serverReady();
    void serverLost();
    // Records the default input for the meter; the reason when the stream could not be made.
    std::optional<QString> openMeterStream();
    void closeMeterStream();
    const Sink* defaultSink() const;
    // Runs `start` with libpulse's lock held; it returns the operation or nothing.
    void request(QObject* receiver, Completion completion,
                 const std::function<bool(pa_context*, Request*)>& start);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    Meter* m_meter = nullptr;
    bool m_ready = false;
    bool m_everConnected = false;
    int m_reconnectDelay = firstReconnectMilliseconds;
    QList<Sink> m_sinks;
    QString m_defaultSink;
    QString m_defaultSource;

    friend struct PulseCallbacks;
};
