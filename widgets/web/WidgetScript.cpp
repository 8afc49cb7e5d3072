#include "WidgetScript.h"

#include "model/RegularFile.h"
#include "widgets/web/PageBudget.h"

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

// What a page keeps of blobs and history entries lives in the dashboard's own process, not the
// page's, where the page's memory limit would not see it. So a page holds at most `blobLimit`
// bytes of blobs at once (blobs it let go count no more once collected), and a history state is
// kept as JSON of at most `historyLimit` characters. Blobs are counted as they are made, by
// constructor or from a response, a request or a canvas; what goes beyond is refused as a quota
// error, or comes as null where the page asked for a blob it would otherwise get.
const char* const memoryFences = R"JS(
    const blobLimit = %1;
    const historyLimit = %2;
    const later = window.setTimeout.bind(window);
    const collect = typeof window.gc === 'function' ? window.gc : null;
    const stringify = JSON.stringify;
    const parse = JSON.parse;
    const quota = () => new DOMException('A widget holds at most ' + (blobLimit >> 20) +
                                         ' MB of blobs', 'QuotaExceededError');
    const blobSize = Object.getOwnPropertyDescriptor(Blob.prototype, 'size').get;
    const bufferSize = Object.getOwnPropertyDescriptor(ArrayBuffer.prototype, 'byteLength').get;
    const viewSize = Object.getOwnPropertyDescriptor(
        Object.getPrototypeOf(Uint8Array.prototype), 'byteLength').get;
    const dataViewSize = Object.getOwnPropertyDescriptor(DataView.prototype, 'byteLength').get;
    let blobBytes = 0;
    let collecting = false;
    const counted = new WeakSet();
    const released = new FinalizationRegistry(size => { blobBytes -= size; });
    function sizeBy(getter, value) {
        try { return getter.call(value); } catch (e) { return -1; }
    }
    // Counts a blob the page is about to hold; false when it would hold too much.
    function admit(blob) {
        const size = sizeBy(blobSize, blob);
        if (size >= 0 && counted.has(blob)) {
            return true;
        }
        if (size < 0 || blobBytes + size > blobLimit) {
            return false;
        }
        blobBytes += size;
        counted.add(blob);
        released.register(blob, size);
        if (collect && !collecting && blobBytes > blobLimit / 2) {
            collecting = true;
            later(() => { collecting = false; collect(); }, 0);
        }
        return true;
    }
    // The parts of a new blob as the engine will take them, and the most bytes they can make.
    function measured(parts) {
        const taken = [];
        let size = 0;
        for (const part of parts === undefined ? [] : Array.from(parts)) {
            let length = sizeBy(blobSize, part);
            if (length < 0) length = sizeBy(bufferSize, part);
            if (length < 0) length = sizeBy(viewSize, part);
            if (length < 0) length = sizeBy(dataViewSize, part);
            if (length >= 0) {
                taken.push(part);
                size += length;
            } else {
                const text = String(part);
                taken.push(text);
                size += text.length * 3;
            }
        }
        return [taken, size];
    }
    function fenceConstructor(w, name, partsAt, base) {
        const made = w[name];
        if (typeof made !== 'function') return;
        const fenced = new Proxy(made, {
            // A File's prototype is the Blob it extends, which would be the engine's own.
            getPrototypeOf: target => base ? base : Reflect.getPrototypeOf(target),
            construct(target, values, newTarget) {
                const [parts, size] = measured(values[partsAt]);
                if (blobBytes + size > blobLimit) throw quota();
                values[partsAt] = parts;
                const blob = Reflect.construct(target, values, newTarget === fenced ? target
                                                                                  : newTarget);
                if (!admit(blob)) throw quota();
                return blob;
            },
        });
        made.prototype.constructor = fenced;
        Object.defineProperty(w, name, { value: fenced, writable: true, configurable: true });
    }
    function fenceResult(prototype, name, refuse) {
        const found = prototype && Object.getOwnPropertyDescriptor(prototype, name);
        if (!found) return;
        if (found.get) {
            const get = found.get;
            found.get = function () {
                const value = get.call(this);
                return sizeBy(blobSize, value) < 0 || admit(value) ? value : null;
            };
        } else {
            const call = found.value;
            found.value = function (...values) {
                return call.apply(this, values).then(blob => admit(blob) ? blob : refuse());
            };
        }
        Object.defineProperty(prototype, name, found);
    }
    function fenceCanvas(w) {
        const found = Object.getOwnPropertyDescriptor(w.HTMLCanvasElement.prototype, 'toBlob');
        const call = found.value;
        found.value = function (done, ...values) {
            const fenced = typeof done === 'function'
                ? blob => done(blob && admit(blob) ? blob : null) : done;
            return call.call(this, fenced, ...values);
        };
        Object.defineProperty(w.HTMLCanvasElement.prototype, 'toBlob', found);
    }
    function fenceHistory(w) {
        for (const name of ['pushState', 'replaceState']) {
            const found = Object.getOwnPropertyDescriptor(w.History.prototype, name);
            const call = found.value;
            found.value = function (state, ...values) {
                const text = stringify(state);
                if (text !== undefined && text.length > historyLimit) throw quota();
                if (values.length > 1 && String(values[1]).length > historyLimit) throw quota();
                return call.call(this, text === undefined ? state : parse(text), ...values);
            };
            Object.defineProperty(w.History.prototype, name, found);
        }
    }
    function fenceMemory(w) {
        try { fenceConstructor(w, 'Blob', 0, null); } catch (e) {}
        try { fenceConstructor(w, 'File', 0, w.Blob); } catch (e) {}
        const refuse = () => { throw quota(); };
        for (const [type, name] of [[w.Response, 'blob'], [w.Request, 'blob'],
                                    [w.OffscreenCanvas, 'convertToBlob'],
                                    [w.XMLHttpRequest, 'response']]) {
            try { fenceResult(type && type.prototype, name, refuse); } catch (e) {}
        }
        try { fenceCanvas(w); } catch (e) {}
        try { fenceHistory(w); } catch (e) {}
        try { delete w.MediaRecorder; } catch (e) {}
    }
)JS";

// Peer connections and WebTransport reach any host, over UDP and TCP, where no request check sees
// them; so do web sockets of shared workers, whose scripts the engine loads without asking the
// request fence (dedicated workers get a prologue instead, WidgetResources::workerPrologue). Web
// storage of a page off the record lives in the dashboard's own process, without a quota worth
// the name: IndexedDB, Cache Storage, WebSQL, file systems and the storage manager go too (the
// package's Tarn.storage is what lasts). A window opened during a click is a fresh browsing
// context with all of the above, so no window opens. All this is taken from the page's window
// before its first script, and from every frame as soon as the page could reach it: the engine's
// own scripts come to a new frame only some time after it exists. Every call that can add a frame
// to a document strips the frames before it returns, and so does a frame's window or document as
// the page asks for it. The engine is also told never to send WebRTC UDP outside a proxy
// (WidgetEngine::prepare).
const char* const withoutPeerConnections = R"JS(
    const names = ['RTCPeerConnection', 'webkitRTCPeerConnection', 'RTCDataChannel',
                   'RTCIceCandidate', 'RTCSessionDescription', 'RTCRtpSender', 'RTCRtpReceiver',
                   'RTCRtpTransceiver', 'RTCDtlsTransport', 'RTCIceTransport', 'RTCSctpTransport',
                   'RTCCertificate', 'WebTransport', 'SharedWorker', 'indexedDB', 'caches',
                   'openDatabase', 'webkitRequestFileSystem', 'webkitResolveLocalFileSystemURL',
                   'showOpenFilePicker', 'showSaveFilePicker', 'showDirectoryPicker'];
    const navigatorNames = ['storage', 'storageBuckets', 'webkitTemporaryStorage',
                            'webkitPersistentStorage'];
    const top = window;
    const lengthOf = Object.getOwnPropertyDescriptor(window, 'length').get;
    const guarded = new WeakSet();
    function closeWindows(w) {
        const nothing = function open() { return null; };
        Object.defineProperty(w, 'open', { value: nothing, writable: false, configurable: false });
        // document.open with three arguments is window.open by another name.
        const found = Object.getOwnPropertyDescriptor(w.Document.prototype, 'open');
        const openDocument = found.value;
        found.value = function open(...values) {
            return values.length > 2 ? null : openDocument.apply(this, values);
        };
        Object.defineProperty(w.Document.prototype, 'open', found);
    }
    function strip(w) {
        for (const name of names) {
            for (let o = w; o; o = Object.getPrototypeOf(o)) {
                try { delete o[name]; } catch (e) {}
            }
        }
        for (const name of navigatorNames) {
            try { delete w.Navigator.prototype[name]; } catch (e) {}
        }
    }
    function stripFrames(w) {
        let count = 0;
        try { count = lengthOf.call(w); } catch (e) { return; }
        for (let i = 0; i < count; ++i) {
            try { lock(w[i]); stripFrames(w[i]); } catch (e) {}
        }
    }
    function wrap(prototype, name) {
        const found = prototype && Object.getOwnPropertyDescriptor(prototype, name);
        if (!found) {
            return;
        }
        if (typeof found.value === 'function') {
            const call = found.value;
            found.value = function (...values) {
                try { return call.apply(this, values); } finally { stripFrames(top); }
            };
        } else if (found.set) {
            const set = found.set;
            found.set = function (value) {
                try { set.call(this, value); } finally { stripFrames(top); }
            };
        } else if (found.get) {
            const get = found.get;
            found.get = function () {
                stripFrames(top);
                return get.call(this);
            };
        }
        Object.defineProperty(prototype, name, found);
    }
    function lock(w) {
        strip(w);
        // The collector is the SDK's, in the page's own frame (WidgetEngine).
        if (w !== top) {
            try { w.gc = undefined; } catch (e) {}
        }
        if (guarded.has(w)) {
            return;
        }
        guarded.add(w);
        try { closeWindows(w); } catch (e) {}
        fenceMemory(w);
        const adding = [
            [w.Node, ['appendChild', 'insertBefore', 'replaceChild']],
            [w.Element, ['append', 'prepend', 'before', 'after', 'replaceWith', 'replaceChildren',
                         'insertAdjacentElement', 'insertAdjacentHTML', 'innerHTML', 'outerHTML']],
            [w.CharacterData, ['before', 'after', 'replaceWith']],
            [w.DocumentType, ['before', 'after', 'replaceWith']],
            [w.Document, ['append', 'prepend', 'replaceChildren', 'write', 'writeln',
                          'execCommand']],
            [w.DocumentFragment, ['append', 'prepend', 'replaceChildren']],
            [w.ShadowRoot, ['innerHTML']],
            [w.Range, ['insertNode', 'surroundContents']],
            [w.HTMLIFrameElement, ['contentWindow', 'contentDocument']],
            [w.HTMLFrameElement, ['contentWindow', 'contentDocument']],
            [w.HTMLObjectElement, ['contentWindow', 'contentDocument', 'getSVGDocument']],
            [w.HTMLEmbedElement, ['getSVGDocument']],
        ];
        for (const [type, members] of adding) {
            for (const member of members) {
                try { wrap(type && type.prototype, member); } catch (e) {}
            }
        }
    }
    lock(window);
    stripFrames(window);
    new MutationObserver(() => stripFrames(top)).observe(document, { childList: true,
                                                                     subtree: true });
)JS";

// Runs right after the SDK, before any script of the page, so `sdk` is the SDK's own object even
// if the page replaces window.Tarn later. The page's messages go to the relay as JSON text in a
// document event; the relay's calls come back the same way. What the dashboard calls is looked up
// on window.Tarn at each call, as if the call were written `Tarn._update(...)`: a page that wraps
// or replaces those functions gets its own called. The functions used here are kept now, so a
// page that replaces them later changes nothing.
//
// The engine's collector is exposed to this script only (see WidgetEngine): what redrawing leaves
// behind is freed once a minute, or sooner after a thousand calls so that a burst of calls (a
// long drag, a fast machine replaying states) cannot pile up more than a thousand calls' worth
// of garbage. It runs after a call, when the page has just been busy anyway.
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
    const collectAfterCalls = 1000;
    let collected = performance.now();
    let callsSinceCollected = 0;
    function collectNow() {
        collected = performance.now();
        collect();
    }
    document.addEventListener('tarn-call', event => {
        ++callsSinceCollected;
        if (collect && (callsSinceCollected >= collectAfterCalls ||
                        performance.now() - collected > collectEvery)) {
            collected = performance.now();
            callsSinceCollected = 0;
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

// Lives in its own world with the channel, where the page cannot reach. Messages wait here until
// the channel is open; the dashboard listens before the first one goes out, so no call is lost.
// The page's budget (PageBudget) is kept here, before a message costs the dashboard anything: what
// goes beyond it in a second is dropped unread, and a page that keeps going beyond it is reported
// to the dashboard, which stops it.
const char* const relay = R"JS(
    const limit = %1;
    const messagesPerSecond = %2;
    const charactersPerSecond = %3;
    const runawayFactor = %4;
    const runawaySeconds = %5;
    const waitingLimit = 1000;
    const waiting = [];
    let host = null;
    let second = -Infinity;
    let messages = 0;
    let characters = 0;
    let overSeconds = 0;
    let runaway = false;
    function over() {
        return messages > messagesPerSecond || characters > charactersPerSecond;
    }
    function spend(length) {
        const now = performance.now();
        if (now - second >= 1000) {
            overSeconds = over() && now - second < 2000 ? overSeconds + 1 : 0;
            second = now;
            messages = 0;
            characters = 0;
        }
        ++messages;
        characters += length;
        if (!over()) {
            return true;
        }
        if (messages >= messagesPerSecond * runawayFactor ||
            characters >= charactersPerSecond * runawayFactor ||
            overSeconds + 1 >= runawaySeconds) {
            runaway = true;
            if (host) {
                host.exceeded();
            }
        }
        return false;
    }
    document.addEventListener('tarn-post', event => {
        const text = event.detail;
        if (runaway || typeof text !== 'string' || !spend(Math.min(text.length, limit + 1)) ||
            text.length > limit) {
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
            if (runaway) {
                host.exceeded();
                return;
            }
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
    return scoped(QString::fromLatin1(memoryFences)
                          .arg(PageBudget::blobBytes)
                          .arg(PageBudget::historyStateCharacters) +
                  QString::fromLatin1(withoutPeerConnections));
}

QString relaySource() {
    return scoped(channelClient() + QStringLiteral("\n") +
                  QString::fromLatin1(relay)
                          .arg(messageLimit)
                          .arg(PageBudget::messagesPerSecond)
                          .arg(PageBudget::charactersPerSecond)
                          .arg(PageBudget::runawayFactor)
                          .arg(PageBudget::runawaySeconds));
}

} // namespace WidgetScript
