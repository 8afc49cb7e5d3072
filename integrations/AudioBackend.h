#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// The sound system: its outputs, the default output's volume and mute, and a microphone level
// meter. Reads answer from a local copy of the server's state and never wait; changes answer
// later on the main thread.
class AudioBackend {
public:
    struct Output {
        QString id;
        QString name; // may be empty
    };

    enum class MicrophoneStart { started, refused, noInput, failed };

    using Completion = std::function<void(bool ok)>;
    using LevelHandler = std::function<void(double decibels)>;
    using StartHandler = std::function<void(MicrophoneStart result, const QString& message)>;

    virtual ~AudioBackend() = default;

    virtual QList<Output> outputs() const = 0;
    // Nothing when the server names no default output.
    virtual std::optional<QString> defaultOutput() const = 0;
    // The default output's volume, 0...1; nothing when it has no volume control.
    virtual std::optional<double> volume() const = 0;
    // Nothing when the mute state cannot be read.
    virtual std::optional<bool> muted() const = 0;

    virtual void setVolume(double volume, QObject* receiver, Completion completion) = 0;
    virtual void setMuted(bool muted, QObject* receiver, Completion completion) = 0;
    virtual void setDefaultOutput(const QString& id, QObject* receiver, Completion completion) = 0;

    // Records the default input; `level` receives the level of every 2048 frames, on the main
    // thread, until stopMicrophone().
    virtual void startMicrophone(QObject* receiver, LevelHandler level, StartHandler started) = 0;
    virtual void stopMicrophone() = 0;
};

namespace AudioLevel {

// dBFS of the samples' RMS, at least -120 (an RMS of 0.000001).
double decibels(const float* samples, qsizetype count);
// -60 dBFS and below show 0, 0 dBFS shows 1, linear in decibels.
double meterLevel(double decibels);

} // namespace AudioLevel
