#include "WidgetScript.h"

#include "widgets/RegularFile.h"

#include <QDir>
#include <QFile>

namespace WidgetScript {

namespace {

constexpr qint64 sdkLimit = 1024 * 1024;

QString channelClient() {
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Peer connections send to any host, over UDP and TCP, where no request check sees them. They
// are taken away in every frame before the page's first script; the engine is also told never to
// send WebRTC UDP that does not go through a proxy (WidgetEngine::prepare).
const char* const withoutPeerConnections = R"JS(
    for (const name of ['RTCPeerConnection', 'webkitRTCPeerConnection', 'RTCDataChannel',
                        'RTCIceCandidate', 'RTCSessionDescription', 'RTCRtpSender',
                        'RTCRtpReceiver', 'RTCRtpTransceiver', 'RTCDtlsTransport',
                        'RTCIceTransport', 'RTCSctpTransport', 'RTCCertificate',
                        'WebTransport']) {
        try { delete window[name]; } catch (e) {}
    }
)JS";

// Runs right after the SDK, before any script of the page, so `sdk` is the SDK's own object even
// if the page replaces window.Tarn later. The page's messages go to the relay as JSON text in a
// document event; the relay's calls come back the same way. What the dashboard calls is looked up
// on window.Tarn at each call, as if the call were written `Tarn._update(...)`: a page that wraps
// or replaces those functions gets its own called. The functions used here are kept now, so a
// page that replaces them later changes nothing.
//
// The engine's collector is exposed to this script only (see WidgetEngine): what redrawing leaves
// behind is freed once a minute, after a call, when the page has just been busy anyway.
const char* const connection = R"JS(
    const sdk = window.Tarn;
    const callable = new Set(['_update', '_reply', '_activate', '_scroll']);
    const stringify = JSON.stringify;
    const parse = JSON.parse;
    const Custom = CustomEvent;
    const dispatch = EventTarget.prototype.dispatchEvent.bind(document);
    const collect = typeof window.gc === 'function' ? window.gc : null;
    window.gc = undefined;
    const collectEvery = 60000;
    let collected = performance.now();
    function collectNow() {
        collected = performance.now();
        collect();
    }
    document.addEventListener('tarn-call', event => {
        if (collect && performance.now() - collected > collectEvery) {
            collected = performance.now();
            setTimeout(collectNow, 0);
        }
        const text = event.detail;
        if (typeof text !== 'string') {
            return;
        }
        const split = text.indexOf('\n');
        const name = text.slice(0, split);
        const target = window.Tarn;
        if (split < 0 || !callable.has(name) || !target || typeof target[name] !== 'function') {
            return;
        }
        const values = parse(text.slice(split + 1));
        if (Array.isArray(values)) {
            target[name](...values);
        }
    });
    if (sdk) {
        sdk._attach(message => {
            const text = stringify(message);
            if (typeof text === 'string') {
                dispatch(new Custom('tarn-post', { detail: text }));
            }
        });
    }
)JS";

// Lives in its own world with the channel. Messages wait here until the channel is open; the
// dashboard listens before the first one goes out, so no call is lost.
const char* const relay = R"JS(
    const limit = %1;
    const waitingLimit = 1000;
    const waiting = [];
    let host = null;
    document.addEventListener('tarn-post', event => {
        const text = event.detail;
        if (typeof text !== 'string' || text.length > limit) {
            return;
        }
        if (host) {
            host.postMessage(text);
        } else if (waiting.length < waitingLimit) {
            waiting.push(text);
        }
    });
    function deliver(name, text) {
        document.dispatchEvent(new CustomEvent('tarn-call', { detail: name + '\n' + text }));
    }
    function connect() {
        if (typeof qt === 'undefined' || !qt.webChannelTransport) {
            return false;
        }
        new QWebChannel(qt.webChannelTransport, channel => {
            host = channel.objects.tarn;
            host.dispatch.connect(deliver);
            while (waiting.length > 0) {
                host.postMessage(waiting.shift());
            }
        });
        return true;
    }
    if (!connect()) {
        document.addEventListener('DOMContentLoaded', connect, { once: true });
    }
)JS";

// One function scope keeps the scripts' names out of the page.
QString scoped(const QString& body) {
    return QStringLiteral("(function () {\n") + body + QStringLiteral("\n})();\n");
}

} // namespace

QString pageSource(const QString& sdkDirectory) {
    const RegularFile sdk =
            RegularFile::read(QDir(sdkDirectory).filePath(QStringLiteral("tarn.js")), sdkLimit);
    const QString sdkText =
            sdk.status == RegularFile::Status::read ? QString::fromUtf8(sdk.contents) : QString();
    return sdkText + QStringLiteral("\n") + scoped(QString::fromLatin1(connection));
}

QString lockdownSource() {
    return scoped(QString::fromLatin1(withoutPeerConnections));
}

QString relaySource() {
    return scoped(channelClient() + QStringLiteral("\n") +
                  QString::fromLatin1(relay).arg(messageLimit));
}

} // namespace WidgetScript
