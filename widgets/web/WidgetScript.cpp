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

// Runs right after the SDK, before any script of the page, so `sdk` is the SDK's own object even
// if the page replaces window.Tarn later. Messages wait in the SDK until the channel is open.
// What the dashboard calls is looked up on window.Tarn at each call, as if the call were written
// `Tarn._update(...)`: a page that wraps or replaces those functions gets its own called. The
// dashboard listens before the SDK's first message (its "ready") goes out, so no call is lost.
//
// The engine's collector is exposed to this script only (see WidgetEngine): what redrawing leaves
// behind is freed once a minute, after a call, when the page has just been busy anyway.
const char* const connection = R"JS(
    const sdk = window.Tarn;
    const callable = new Set(['_update', '_reply', '_activate', '_scroll']);
    const collect = typeof window.gc === 'function' ? window.gc : null;
    window.gc = undefined;
    const collectEvery = 60000;
    let collected = performance.now();
    function collectNow() {
        collected = performance.now();
        collect();
    }
    function call(name, text) {
        if (collect && performance.now() - collected > collectEvery) {
            collected = performance.now();
            setTimeout(collectNow, 0);
        }
        const target = window.Tarn;
        if (!callable.has(name) || !target || typeof target[name] !== 'function') {
            return;
        }
        const values = JSON.parse(text);
        if (Array.isArray(values)) {
            target[name](...values);
        }
    }
    function connect() {
        if (typeof qt === 'undefined' || !qt.webChannelTransport || !sdk) {
            return false;
        }
        new QWebChannel(qt.webChannelTransport, channel => {
            const host = channel.objects.tarn;
            host.dispatch.connect(call);
            sdk._attach(message => host.postMessage(message));
        });
        return true;
    }
    if (!connect()) {
        document.addEventListener('DOMContentLoaded', connect, { once: true });
    }
)JS";

} // namespace

QString source(const QString& sdkDirectory) {
    const RegularFile sdk =
            RegularFile::read(QDir(sdkDirectory).filePath(QStringLiteral("tarn.js")), sdkLimit);
    const QString sdkText =
            sdk.status == RegularFile::Status::read ? QString::fromUtf8(sdk.contents) : QString();
    // One function scope keeps the channel client's names out of the page.
    return QStringLiteral("(function () {\n") + channelClient() + QStringLiteral("\n") + sdkText +
           QStringLiteral("\n") + QString::fromLatin1(connection) + QStringLiteral("\n})();\n");
}

} // namespace WidgetScript
