// Entry point of tests that load real widget pages in Qt WebEngine, offscreen. The web engine is
// prepared before the application object, as the program does.
#include "widgets/web/WidgetEngine.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

void defaultEnvironment(const char* name, const char* value) {
    if (qEnvironmentVariableIsEmpty(name))
        qputenv(name, value);
}

} // namespace

int main(int argc, char** argv) {
    defaultEnvironment("QT_QPA_PLATFORM", "offscreen");
    // The engine's sandbox cannot start as root, and there is no GPU here.
    defaultEnvironment("QTWEBENGINE_DISABLE_SANDBOX", "1");
    defaultEnvironment("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    testing::InitGoogleTest(&argc, argv);
    WidgetEngine::prepare();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
