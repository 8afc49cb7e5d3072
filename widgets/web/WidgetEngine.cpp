#include "WidgetEngine.h"

#include "widgets/web/WidgetSchemeHandler.h"

#include <QByteArray>
#include <QQuickWindow>
#include <QtGlobal>
#include <unistd.h>

namespace WidgetEngine {

namespace {

constexpr const char* flagsVariable = "QTWEBENGINE_CHROMIUM_FLAGS";

// A page's process frees what its layout and drawing left behind only when its script heap is
// collected, and a page that only redraws allocates too little script memory to ever ask for a
// collection: it grows by a few hundred KB a minute, for days. The widget SDK collects once a
// minute through this function, then removes it from the page.
constexpr const char* collectableHeap = "--js-flags=--expose-gc";

// WebRTC never sends UDP that does not go through a proxy, and there is none: no STUN or media
// packet leaves a page even should a page find a peer connection after all (the page scripts
// take them away, WidgetScript).
constexpr const char* noDirectWebRtcUdp =
        "--force-webrtc-ip-handling-policy=disable_non_proxied_udp";

void addFlag(const char* flag) {
    const QByteArray flags = qgetenv(flagsVariable);
    if (!flags.contains(flag))
        qputenv(flagsVariable, (flags + ' ' + flag).trimmed());
}

} // namespace

void prepare() {
    WidgetSchemeHandler::registerScheme();
    addFlag(collectableHeap);
    addFlag(noDirectWebRtcUdp);
}

void prepareProgram(bool verbose) {
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (!verbose) {
        QByteArray flags = qgetenv(flagsVariable);
        flags += flags.isEmpty() ? "--log-level=3" : " --log-level=3";
        qputenv(flagsVariable, flags);
    }
    // Widget pages are drawn by the processor unless the program knows better: a dashboard that
    // changes once a second costs less that way than through OpenGL emulated on the processor.
    drawThroughOpenGL(false);
    prepare();
}

void drawThroughOpenGL(bool openGL) {
    QQuickWindow::setGraphicsApi(openGL ? QSGRendererInterface::OpenGL
                                        : QSGRendererInterface::Software);
}

} // namespace WidgetEngine
