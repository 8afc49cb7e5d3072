#pragma once

#include "integrations/AudioBackend.h"

#include <QJsonObject>
#include <QObject>
#include <memory>

// The outputs, the default output's volume and mute, and a live microphone level.
class AudioService : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(const std::optional<QString>& error)>;

    explicit AudioService(std::shared_ptr<AudioBackend> backend, QObject* parent = nullptr);

    const QJsonObject& state() const { return m_state; }
    double level() const { return m_level; }
    const QString& microphoneMessage() const { return m_microphoneMessage; }
    bool isMicrophoneOn() const { return m_microphoneOn; }

    // Cheap: reads the backend's copy of the server state.
    void refresh();
    void setVolume(double volume, Done done);
    void mute(Done done);
    void output(const QString& id, Done done);
    // Turns the meter on or off.
    void microphone(Done done);
    void stopMicrophone();

signals:
    void changed();

private:
    void afterChange(bool ok, const QString& failure, const Done& done);

    std::shared_ptr<AudioBackend> m_backend;
    QJsonObject m_state;
    double m_level = 0;
    QString m_microphoneMessage = QStringLiteral("Microphone meter is off");
    bool m_microphoneOn = false;
    bool m_microphoneStarting = false;
};
