#include "AudioService.h"

#include "model/linux/PlatformTexts.h"

#include <QJsonArray>
#include <algorithm>
#include <cmath>

namespace AudioLevel {

double decibels(const float* samples, qsizetype count) {
    double sumOfSquares = 0;
    for (qsizetype i = 0; i < count; ++i)
        sumOfSquares += double(samples[i]) * double(samples[i]);
    const double rms = count > 0 ? std::sqrt(sumOfSquares / double(count)) : 0;
    return 20 * std::log10(std::max(rms, 0.000001));
}

double meterLevel(double decibels) {
    return std::clamp((decibels + 60) / 60, 0.0, 1.0);
}

} // namespace AudioLevel

AudioService::AudioService(std::shared_ptr<AudioBackend> backend, QObject* parent)
    : QObject(parent), m_backend(std::move(backend)) {}

void AudioService::refresh() {
    QJsonArray outputs;
    for (const AudioBackend::Output& output : m_backend->outputs()) {
        outputs.append(QJsonObject{{QStringLiteral("id"), output.id},
                                   {QStringLiteral("name"), output.name.isEmpty()
                                                                    ? QStringLiteral("Audio device")
                                                                    : output.name}});
    }
    const auto volume = m_backend->volume();
    const auto muted = m_backend->muted();
    m_state = {
            {QStringLiteral("outputs"), outputs},
            {QStringLiteral("output"), m_backend->defaultOutput().value_or(QString())},
            {QStringLiteral("volume"), volume ? QJsonValue(*volume) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("muted"), muted.value_or(false)},
            {QStringLiteral("canMute"), muted.has_value()},
            {QStringLiteral("microphone"), m_microphoneOn},
            {QStringLiteral("level"), m_level},
            {QStringLiteral("microphoneMessage"), m_microphoneMessage}};
}

void AudioService::afterChange(bool ok, const QString& failure, const Done& done) {
    if (!ok) {
        done(failure);
        return;
    }
    refresh();
    emit changed();
    done(std::nullopt);
}

void AudioService::setVolume(double volume, Done done) {
    if (!std::isfinite(volume) || volume < 0 || volume > 1) {
        done(QStringLiteral("Invalid volume"));
        return;
    }
    const QString failure =
            QStringLiteral("This output has fixed volume; use its hardware controls");
    if (!m_backend->volume()) {
        done(failure);
        return;
    }
    m_backend->setVolume(volume, this,
                         [this, failure, done](bool ok) { afterChange(ok, failure, done); });
}

void AudioService::mute(Done done) {
    const bool muted = m_state.value(QStringLiteral("muted")).toBool();
    const QString failure = QStringLiteral("This device does not support mute");
    if (!m_backend->muted()) {
        done(failure);
        return;
    }
    m_backend->setMuted(!muted, this,
                        [this, failure, done](bool ok) { afterChange(ok, failure, done); });
}

void AudioService::output(const QString& id, Done done) {
    QString digits = id;
    if (digits.startsWith(QLatin1Char('+')))
        digits = digits.mid(1);
    bool ok = false;
    const uint number = digits.toUInt(&ok, 10);
    const QJsonArray outputs = m_state.value(QStringLiteral("outputs")).toArray();
    const bool listed = ok && !digits.isEmpty() && digits.front().isDigit() &&
                        std::any_of(outputs.begin(), outputs.end(), [&](const QJsonValue& output) {
                            return output.toObject().value(QStringLiteral("id")).toString() ==
                                   QString::number(number);
                        });
    if (!listed) {
        done(QStringLiteral("Audio device is unavailable"));
        return;
    }
    m_backend->setDefaultOutput(QString::number(number), this, [this, done](bool ok) {
        afterChange(ok, QStringLiteral("Could not switch audio output"), done);
    });
}

void AudioService::microphone(Done done) {
    if (m_microphoneOn) {
        stopMicrophone();
        done(std::nullopt);
        return;
    }
    if (m_microphoneStarting) {
        done(std::nullopt);
        return;
    }
    m_microphoneStarting = true;
    m_backend->startMicrophone(
            this,
            [this](double decibels) {
                // A level that arrives after the meter stopped changes nothing.
                if (m_microphoneOn)
                    m_level = AudioLevel::meterLevel(decibels);
            },
            [this, done](AudioBackend::MicrophoneStart result, const QString& message) {
                m_microphoneStarting = false;
                switch (result) {
                case AudioBackend::MicrophoneStart::started:
                    m_microphoneOn = true;
                    m_microphoneMessage = QStringLiteral("Live microphone · −60 to 0 dBFS");
                    refresh();
                    emit changed();
                    done(std::nullopt);
                    return;
                case AudioBackend::MicrophoneStart::refused:
                    done(PlatformTexts::microphoneRefused());
                    return;
                case AudioBackend::MicrophoneStart::noInput:
                    done(QStringLiteral("No microphone is available"));
                    return;
                case AudioBackend::MicrophoneStart::failed:
                    done(message);
                    return;
                }
            });
}

void AudioService::stopMicrophone() {
    if (!m_microphoneOn)
        return;
    m_backend->stopMicrophone();
    m_microphoneOn = false;
    m_level = 0;
    m_microphoneMessage = QStringLiteral("Microphone meter is off");
    refresh();
    emit changed();
}
