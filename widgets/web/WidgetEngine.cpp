#include "WidgetEngine.h"

#include "widgets/web/WidgetSchemeHandler.h"

#include <QByteArray>
#include <QtGlobal>

namespace WidgetEngine {

namespace {

constexpr const char* flagsVariable = "QTWEBENGINE_CHROMIUM_FLAGS";

// A page's process frees what its layout and drawing left behind only when its script heap is
// collected, and a page that only redraws allocates too little script memory to ever ask for a
// collection: it grows by a few hundred KB a minute, for days. The widget SDK collects once a
// minute through this function, then removes it from the page.
constexpr const char* collectableHeap = "--js-flags=--expose-gc";

} // namespace

void prepare() {
    WidgetSchemeHandler::registerScheme();
    QByteArray flags = qgetenv(flagsVariable);
    if (!flags.contains(collectableHeap))
        qputenv(flagsVariable, (flags + ' ' + collectableHeap).trimmed());
}

} // namespace WidgetEngine
