#include "ToolEngine.h"

#include "widgets/web/WidgetEngine.h"

#include <QString>
#include <cstdio>

namespace ToolEngine {

namespace {

// Only what stops the tool is worth a line among the page's own.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fputs((message + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
}

} // namespace

void prepare() {
    WidgetEngine::prepareProgram(false);
    qInstallMessageHandler(quietMessages);
}

} // namespace ToolEngine
