// tablora-widget-render: draws a widget package as the dashboard shows it, into a PNG, with this
// computer's live state or a state read from a file. For widget authors checking their layout.
#include "app/linux/LinuxPlatform.h"
#include "model/ThemeColors.h"
#include "model/WidgetError.h"
#include "store/TarnStore.h"
#include "widgets/WidgetPackage.h"
#include "widgets/web/WebWidget.h"
#include "widgets/web/WidgetPage.h"
#include "widgets/web/WidgetEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWebEnginePage>
#include <cstdio>
#include <unistd.h>

namespace {

const char* const usage =
        "Usage: tablora-widget-render DIR OUT.png [--size WIDTHxHEIGHT] [--state FILE.json]\n"
        "                             [--instance ID] [--wait MILLISECONDS]\n"
        "Draws the widget package in DIR at the size in dashboard points (default 364x502)\n"
        "and writes OUT.png. Without --state the widget gets this computer's live state; with\n"
        "it, the JSON object in FILE replaces that state once the page is ready.\n";

void wait(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool waitFor(const std::function<bool()>& condition, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

} // namespace

int main(int argc, char* argv[]) {
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    WidgetEngine::prepare();
    QApplication app(argc, argv);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() < 2 || arguments.size() % 2 != 0) {
        err << usage;
        return 2;
    }
    const QString folder = arguments[0];
    const QString output = arguments[1];
    QSize size(364, 502);
    std::optional<QJsonObject> state;
    std::optional<QString> instance;
    int settle = 1500;
    for (qsizetype i = 2; i + 1 < arguments.size(); i += 2) {
        const QString& option = arguments[i];
        const QString& value = arguments[i + 1];
        if (option == QStringLiteral("--size")) {
            const QStringList parts = value.split(QLatin1Char('x'));
            size = parts.size() == 2 ? QSize(parts[0].toInt(), parts[1].toInt()) : QSize();
        } else if (option == QStringLiteral("--state")) {
            QFile file(value);
            const QJsonDocument document = file.open(QIODevice::ReadOnly)
                                                   ? QJsonDocument::fromJson(file.readAll())
                                                   : QJsonDocument();
            if (!document.isObject()) {
                err << value << ": not a readable JSON object\n";
                return 1;
            }
            state = document.object();
        } else if (option == QStringLiteral("--instance")) {
            instance = value;
        } else if (option == QStringLiteral("--wait")) {
            settle = value.toInt();
        } else {
            err << usage;
            return 2;
        }
    }
    if (size.isEmpty()) {
        err << usage;
        return 2;
    }
    WidgetPackage package;
    try {
        package = WidgetPackage::read(folder, false);
    } catch (const WidgetError& error) {
        err << error.message() << '\n';
        return 1;
    }

    // A private data folder: rendering never changes the user's own widgets or notes.
    QTemporaryDir data;
    TarnStore::Environment environment = linuxEnvironment({});
    environment.directory = data.path();
    TarnStore store(std::move(environment));

    QWidget tile;
    tile.setAttribute(Qt::WA_StyledBackground);
    tile.setStyleSheet(
            QStringLiteral("background: %1;").arg(ThemeColors::surface.to<QColor>().name()));
    tile.resize(size);
    auto* widget = new WebWidget(package, store, instance, &tile);
    QObject::connect(widget->page(), &WidgetPage::scriptError,
                     [&err](const QString& message, int line, const QString& source) {
                         err << source << ':' << line << ": " << message << '\n';
                         err.flush();
                     });
    widget->setGeometry(tile.rect());
    tile.show();
    if (!waitFor([&] { return widget->isReady() || widget->failure(); }, 30000)) {
        err << "The page did not load within 30 seconds.\n";
        return 1;
    }
    if (widget->failure()) {
        err << "The page failed: " << *widget->failure() << '\n';
        return 1;
    }
    wait(500);
    if (state)
        widget->setFixedState(*state);
    wait(settle);
    if (!tile.grab().save(output)) {
        err << "Could not write " << output << '\n';
        return 1;
    }
    return 0;
}
