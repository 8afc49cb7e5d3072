#include "PulseAudioBackend.h"

#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <pulse/pulseaudio.h>
#include <vector>

// One change request in flight: who waits for its answer.
struct PulseAudioBackend::Request {
    PulseAudioBackend* backend;
    QPointer<QObject> receiver;
    Completion completion;
    std::function<void()> onSuccess; // updates the mirror at once
};

// The running microphone meter. `samples` is only touched on libpulse's thread.
struct PulseAudioBackend::Meter {
    PulseAudioBackend* backend;
    int generation;
    QPointer<QObject> receiver;
    LevelHandler level;
    StartHandler started;
    bool answered = false;
    std::vector<float> samples;
};

namespace {

int meterGeneration = 0;

// A sink list being collected on libpulse's thread.
struct SinkList {
    PulseAudioBackend* backend;
    QList<PulseAudioBackend::Sink> sinks;
};

template <typename Function> void onMainThread(PulseAudioBackend* backend, Function function) {
    QMetaObject::invokeMethod(backend, std::move(function), Qt::QueuedConnection);
}

} // namespace

// libpulse's callbacks; they run on its thread with its lock held.
struct PulseCallbacks {
    static void update(PulseAudioBackend* backend, pa_context* context) {
        if (pa_operation* op = pa_context_get_server_info(context, serverInfo, backend))
            pa_operation_unref(op);
        auto* list = new SinkList{backend, {}};
        if (pa_operation* op = pa_context_get_sink_info_list(context, sinkInfo, list))
            pa_operation_unref(op);
        else
            delete list;
    }

    static void contextState(pa_context* context, void* userdata) {
        auto* backend = static_cast<PulseAudioBackend*>(userdata);
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            pa_context_set_subscribe_callback(context, subscribed, backend);
            if (pa_operation* op =
                        pa_context_subscribe(context,
                                             pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK |
                                                                    PA_SUBSCRIPTION_MASK_SOURCE |
                                                                    PA_SUBSCRIPTION_MASK_SERVER),
                                             nullptr, nullptr))
                pa_operation_unref(op);
            update(backend, context);
            onMainThread(backend, [backend] { backend->serverReady(); });
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            onMainThread(backend, [backend] { backend->serverLost(); });
            break;
        default:
            break;
        }
    }

    static void subscribed(pa_context* context, pa_subscription_event_type_t, uint32_t,
                           void* userdata) {
        update(static_cast<PulseAudioBackend*>(userdata), context);
    }

    static void serverInfo(pa_context*, const pa_server_info* info, void* userdata) {
        auto* backend = static_cast<PulseAudioBackend*>(userdata);
        if (!info)
            return;
        const QString sink =
                QString::fromUtf8(info->default_sink_name ? info->default_sink_name : "");
        const QString source =
                QString::fromUtf8(info->default_source_name ? info->default_source_name : "");
        onMainThread(backend, [backend, sink, source] {
            backend->m_defaultSink = sink;
            backend->m_defaultSource = source;
            emit backend->serverChanged();
        });
    }

    static void sinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
        auto* list = static_cast<SinkList*>(userdata);
        if (eol == 0 && info) {
            list->sinks.append(
                    {info->index, QString::fromUtf8(info->name),
                     QString::fromUtf8(info->description ? info->description : ""),
                     int(info->volume.channels),
                     info->volume.channels > 0
                             ? std::min(double(pa_cvolume_avg(&info->volume)) / PA_VOLUME_NORM, 1.0)
                             : 0.0,
                     info->mute != 0});
            return;
        }
        if (eol < 0) {
            delete list;
            return;
        }
        QList<PulseAudioBackend::Sink> sinks = list->sinks;
        std::sort(sinks.begin(), sinks.end(),
                  [](const auto& a, const auto& b) { return a.index < b.index; });
        PulseAudioBackend* backend = list->backend;
        delete list;
        onMainThread(backend, [backend, sinks] {
            backend->m_sinks = sinks;
            emit backend->serverChanged();
        });
    }

    static void success(pa_context*, int ok, void* userdata) {
        auto* request = static_cast<PulseAudioBackend::Request*>(userdata);
        onMainThread(request->backend, [request, ok] {
            if (ok && request->onSuccess)
                request->onSuccess();
            if (request->receiver)
                request->completion(ok != 0);
            delete request;
        });
    }

    static void answerStart(PulseAudioBackend::Meter* meter, AudioBackend::MicrophoneStart result,
                            const QString& message) {
        if (meter->answered)
            return;
        meter->answered = true;
        PulseAudioBackend* backend = meter->backend;
        const int generation = meter->generation;
        onMainThread(backend, [backend, generation, result, message] {
            PulseAudioBackend::Meter* current = backend->m_meter;
            if (!current || current->generation != generation || !current->receiver)
                return;
            const auto started = current->started;
            if (result != AudioBackend::MicrophoneStart::started)
                backend->stopMicrophone();
            started(result, message);
        });
    }

    static void streamState(pa_stream* stream, void* userdata) {
        auto* meter = static_cast<PulseAudioBackend::Meter*>(userdata);
        switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            answerStart(meter, AudioBackend::MicrophoneStart::started, {});
            break;
        case PA_STREAM_FAILED: {
            const int error = pa_context_errno(pa_stream_get_context(stream));
            answerStart(meter,
                        error == PA_ERR_ACCESS ? AudioBackend::MicrophoneStart::refused
                                               : AudioBackend::MicrophoneStart::failed,
                        QString::fromUtf8(pa_strerror(error)));
            break;
        }
        default:
            break;
        }
    }

    // Computes the level of every 2048 frames here, off the main thread.
    static void streamRead(pa_stream* stream, size_t, void* userdata) {
        auto* meter = static_cast<PulseAudioBackend::Meter*>(userdata);
        while (pa_stream_readable_size(stream) > 0) {
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
                break;
            if (data) {
                const auto* samples = static_cast<const float*>(data);
                meter->samples.insert(meter->samples.end(), samples,
                                      samples + bytes / sizeof(float));
            }
            pa_stream_drop(stream);
        }
        while (meter->samples.size() >= size_t(PulseAudioBackend::meterFrames)) {
            const double decibels =
                    AudioLevel::decibels(meter->samples.data(), PulseAudioBackend::meterFrames);
            meter->samples.erase(meter->samples.begin(),
                                 meter->samples.begin() + PulseAudioBackend::meterFrames);
            PulseAudioBackend* backend = meter->backend;
            const int generation = meter->generation;
            onMainThread(backend, [backend, generation, decibels] {
                PulseAudioBackend::Meter* current = backend->m_meter;
                if (current && current->generation == generation && current->receiver)
                    current->level(decibels);
            });
        }
    }
};

PulseAudioBackend::PulseAudioBackend(QObject* parent) : QObject(parent) {
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop || pa_threaded_mainloop_start(m_loop) < 0)
        return;
    connectToServer();
}

PulseAudioBackend::~PulseAudioBackend() {
    if (!m_loop)
        return;
    stopMicrophone();
    disconnectFromServer();
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

void PulseAudioBackend::connectToServer() {
    if (!m_loop)
        return;
    pa_threaded_mainloop_lock(m_loop);
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Tablora");
    if (m_context) {
        pa_context_set_state_callback(m_context, PulseCallbacks::contextState, this);
        // The server named by PULSE_SERVER, else the user's own. A failure arrives through the
        // state callback like any later one. A server the user stopped is not started again
        // by looking for it.
        pa_context_connect(m_context, nullptr,
                           m_everConnected ? PA_CONTEXT_NOAUTOSPAWN : PA_CONTEXT_NOFLAGS, nullptr);
    }
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseAudioBackend::serverReady() {
    m_ready = true;
    m_everConnected = true;
    m_reconnectDelay = firstReconnectMilliseconds;
    // A meter that was on when the server went away records again.
    if (m_meter && !m_stream)
        openMeterStream();
}

void PulseAudioBackend::serverLost() {
    m_ready = false;
    m_sinks.clear();
    m_defaultSink.clear();
    m_defaultSource.clear();
    closeMeterStream();
    // Silence until the server is back, rather than the last level heard.
    if (m_meter && m_meter->answered && m_meter->receiver)
        m_meter->level(AudioLevel::decibels(nullptr, 0));
    emit serverChanged();
    // The server may come back (a restart, a login): look again later.
    QTimer::singleShot(m_reconnectDelay, this, [this] { connectToServer(); });
    m_reconnectDelay = std::min(m_reconnectDelay * 2, lastReconnectMilliseconds);
}

void PulseAudioBackend::disconnectFromServer() {
    pa_threaded_mainloop_lock(m_loop);
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    pa_threaded_mainloop_unlock(m_loop);
    m_ready = false;
}

const PulseAudioBackend::Sink* PulseAudioBackend::defaultSink() const {
    const auto found = std::find_if(m_sinks.cbegin(), m_sinks.cend(),
                                    [&](const Sink& sink) { return sink.name == m_defaultSink; });
    return found == m_sinks.cend() ? nullptr : &*found;
}

QList<AudioBackend::Output> PulseAudioBackend::outputs() const {
    QList<Output> outputs;
    for (const Sink& sink : m_sinks)
        outputs.append({QString::number(sink.index), sink.description});
    return outputs;
}

std::optional<QString> PulseAudioBackend::defaultOutput() const {
    const Sink* sink = defaultSink();
    return sink ? std::optional(QString::number(sink->index)) : std::nullopt;
}

std::optional<double> PulseAudioBackend::volume() const {
    const Sink* sink = defaultSink();
    if (!sink || sink->channels == 0)
        return std::nullopt;
    return sink->volume;
}

std::optional<bool> PulseAudioBackend::muted() const {
    const Sink* sink = defaultSink();
    return sink ? std::optional(sink->muted) : std::nullopt;
}

void PulseAudioBackend::request(QObject* receiver, Completion completion,
                                const std::function<bool(pa_context*, Request*)>& start) {
    auto* pending = new Request{this, receiver, completion, {}};
    bool started = false;
    if (m_ready && m_context) {
        pa_threaded_mainloop_lock(m_loop);
        started = start(m_context, pending);
        pa_threaded_mainloop_unlock(m_loop);
    }
    if (!started) {
        delete pending;
        QTimer::singleShot(0, receiver, [completion] { completion(false); });
    }
}

void PulseAudioBackend::setVolume(double volume, QObject* receiver, Completion completion) {
    const Sink* sink = defaultSink();
    if (!sink || sink->channels == 0) {
        QTimer::singleShot(0, receiver, [completion] { completion(false); });
        return;
    }
    const quint32 index = sink->index;
    const int channels = sink->channels;
    request(receiver, completion,
            [this, index, channels, volume](pa_context* context, Request* pending) {
                pa_cvolume levels;
                pa_cvolume_set(&levels, unsigned(channels), pa_volume_t(volume * PA_VOLUME_NORM));
                pending->onSuccess = [this, index, volume] {
                    for (Sink& sink : m_sinks) {
                        if (sink.index == index)
                            sink.volume = volume;
                    }
                };
                pa_operation* op = pa_context_set_sink_volume_by_index(
                        context, index, &levels, PulseCallbacks::success, pending);
                if (op)
                    pa_operation_unref(op);
                return op != nullptr;
            });
}

void PulseAudioBackend::setMuted(bool muted, QObject* receiver, Completion completion) {
    const Sink* sink = defaultSink();
    if (!sink) {
        QTimer::singleShot(0, receiver, [completion] { completion(false); });
        return;
    }
    const quint32 index = sink->index;
    request(receiver, completion, [this, index, muted](pa_context* context, Request* pending) {
        pending->onSuccess = [this, index, muted] {
            for (Sink& sink : m_sinks) {
                if (sink.index == index)
                    sink.muted = muted;
            }
        };
        pa_operation* op = pa_context_set_sink_mute_by_index(context, index, muted ? 1 : 0,
                                                             PulseCallbacks::success, pending);
        if (op)
            pa_operation_unref(op);
        return op != nullptr;
    });
}

void PulseAudioBackend::setDefaultOutput(const QString& id, QObject* receiver,
                                         Completion completion) {
    const auto sink = std::find_if(m_sinks.cbegin(), m_sinks.cend(),
                                   [&](const Sink& s) { return QString::number(s.index) == id; });
    if (sink == m_sinks.cend()) {
        QTimer::singleShot(0, receiver, [completion] { completion(false); });
        return;
    }
    const QByteArray name = sink->name.toUtf8();
    request(receiver, completion, [this, name](pa_context* context, Request* pending) {
        pending->onSuccess = [this, name] { m_defaultSink = QString::fromUtf8(name); };
        pa_operation* op = pa_context_set_default_sink(context, name.constData(),
                                                       PulseCallbacks::success, pending);
        if (op)
            pa_operation_unref(op);
        return op != nullptr;
    });
}

void PulseAudioBackend::startMicrophone(QObject* receiver, LevelHandler level,
                                        StartHandler started) {
    stopMicrophone();
    if (!m_ready || !m_context || m_defaultSource.isEmpty()) {
        QTimer::singleShot(0, receiver, [started] { started(MicrophoneStart::noInput, {}); });
        return;
    }
    m_meter = new Meter{
            this, ++meterGeneration, receiver, std::move(level), std::move(started), false, {}};
    if (const auto error = openMeterStream()) {
        const auto answer = m_meter->started;
        stopMicrophone();
        QTimer::singleShot(0, receiver,
                           [answer, error] { answer(MicrophoneStart::failed, *error); });
    }
}

std::optional<QString> PulseAudioBackend::openMeterStream() {
    pa_threaded_mainloop_lock(m_loop);
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, 48000, 1};
    m_stream = pa_stream_new(m_context, "Microphone level", &format, nullptr);
    bool connected = false;
    if (m_stream) {
        m_meter->samples.clear();
        pa_stream_set_state_callback(m_stream, PulseCallbacks::streamState, m_meter);
        pa_stream_set_read_callback(m_stream, PulseCallbacks::streamRead, m_meter);
        pa_buffer_attr buffer;
        buffer.maxlength = uint32_t(-1);
        buffer.tlength = uint32_t(-1);
        buffer.prebuf = uint32_t(-1);
        buffer.minreq = uint32_t(-1);
        buffer.fragsize = meterFrames * sizeof(float);
        // The default input of the server.
        connected =
                pa_stream_connect_record(m_stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY) == 0;
    }
    const std::optional<QString> error =
            connected ? std::nullopt
                      : std::optional(QString::fromUtf8(pa_strerror(pa_context_errno(m_context))));
    pa_threaded_mainloop_unlock(m_loop);
    return error;
}

void PulseAudioBackend::closeMeterStream() {
    if (!m_stream)
        return;
    pa_threaded_mainloop_lock(m_loop);
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseAudioBackend::stopMicrophone() {
    closeMeterStream();
    delete m_meter;
    m_meter = nullptr;
}
