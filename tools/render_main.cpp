// tablora-widget-render: draws a widget package as the dashboard shows it, into a PNG, with this
// computer's live state, a state read from a file or the package's sample state. For widget
// authors checking their layout, the settings window's previews and the README's gallery; the
// page's console goes to standard error, and a page that threw or a file that failed to load
// makes the exit status 1.
#include "desktop/CommandLine.h"
#include "desktop/linux/LinuxPlatform.h"
#include "model/LogText.h"
#include "model/ThemeColors.h"
#include "model/WidgetError.h"
#include "packages/SampleState.h"
#include "packages/WidgetPackage.h"
#include "store/TarnStore.h"
#include "tools/ToolArguments.h"
#include "tools/ToolEngine.h"
#include "tools/WidgetTool.h"
#include "widgets/WidgetBridge.h"
#include "widgets/web/WebWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

namespace {

const QString program = QStringLiteral("tablora-widget-render");

const char* const usage =
        "Usage: tablora-widget-render DIR OUT.png [--size WIDTHxHEIGHT]\n"
        "                             [--state FILE.json | --sample] [--instance ID]\n"
        "                             [--wait MILLISECONDS] [--picture-width PIXELS]\n"
        "Draws the widget package in DIR at the size in dashboard points (default 364x502)\n"
        "and writes OUT.png. Without --state or --sample the widget gets this computer's live\n"
        "state. With --state it sees only the JSON object in FILE; with --sample only the\n"
        "package's sample state (its preview.json over a neutral state, or the neutral state\n"
        "alone): nothing of this computer's. --wait is how long the page may settle once it is\n"
        "ready (default 1500). --picture-width scales a wider picture down to that width.\n"
        "\n"
        "The page's console lines are printed as they come, as FILE:LINE: LEVEL: MESSAGE.\n"
        "Exit status: 0 drawn, 1 the package is invalid, the page threw an error or a file\n"
        "failed to load (the picture is written all the same), 2 a wrong command line.\n"
        "\n"
        "  --help      Show this text.\n"
        "  --version   Show the version.\n";

struct Request {
    QString folder;
    QString output;
    QSize size = WidgetTool::defaultSize;
    std::optional<QString> stateFile;
    bool sample = false;
    std::optional<QString> instance;
    int settle = 1500;
    std::optional<int> pictureWidth;
};

// The request, or the line saying what is wrong with the command line.
std::variant<Request, QString> parse(const QStringList& arguments) {
    const auto parsed = ToolArguments::parse(
            arguments,
            {QStringLiteral("--size"), QStringLiteral("--state"), QStringLiteral("--instance"),
             QStringLiteral("--wait"), QStringLiteral("--picture-width")},
            {QStringLiteral("--sample")});
    if (const QString* error = std::get_if<QString>(&parsed))
        return *error;
    const ToolArguments& given = std::get<ToolArguments>(parsed);
    if (given.positional.isEmpty())
        return QStringLiteral("missing the package folder and the picture to write");
    if (given.positional.size() == 1)
        return QStringLiteral("missing the picture to write, such as out.png");
    if (given.positional.size() > 2)
        return QStringLiteral("unexpected argument '%1'").arg(given.positional[2]);
    Request request;
    request.folder = given.positional[0];
    request.output = given.positional[1];
    if (const auto error = readToolSize(given, request.size))
        return *error;
    if (const auto wait = given.value(QStringLiteral("--wait"))) {
        bool number = false;
        request.settle = wait->toInt(&number);
        if (!number || request.settle < 0 || request.settle > 60000)
            return QStringLiteral("--wait takes milliseconds from 0 to 60000, not '%1'").arg(*wait);
    }
    if (const auto width = given.value(QStringLiteral("--picture-width"))) {
        bool number = false;
        request.pictureWidth = width->toInt(&number);
        if (!number || *request.pictureWidth < 16 || *request.pictureWidth > 8000)
            return QStringLiteral("--picture-width takes pixels from 16 to 8000, not '%1'")
                    .arg(*width);
    }
    request.stateFile = given.value(QStringLiteral("--state"));
    request.sample = given.has(QStringLiteral("--sample"));
    if (request.stateFile && request.sample)
        return QStringLiteral("--state and --sample cannot go together");
    request.instance = given.value(QStringLiteral("--instance"));
    return request;
}

void print(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

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

// The package's sample state; a sample it cannot use is said on standard error and `failed` set.
QJsonObject sampleState(const WidgetPackage& package, TarnStore& store,
                        const std::optional<QString>& instance, bool& failed) {
    const QJsonObject neutral = WidgetBridge::snapshot(package.manifest, store, instance);
    try {
        return SampleState::merged(neutral,
                                   SampleState::read(package.root).value_or(QJsonObject()));
    } catch (const WidgetError& error) {
        print(LogText::escapeControls(error.explained()) +
              QStringLiteral("; drawn with a neutral state.\n"));
        failed = true;
        return neutral;
    }
}

// Draws the package; the exit status.
int render(const Request& request, std::optional<QJsonObject> state) {
    WidgetPackage package;
    try {
        package = WidgetPackage::read(WidgetTool::packageFolder(request.folder), false);
    } catch (const WidgetError& error) {
        print(LogText::escapeControls(error.explained()) + QLatin1Char('\n'));
        return 1;
    }

    // A private data folder: rendering never changes the user's own widgets or notes. A fixed
    // state comes with nothing connected, so not even a service of this computer is read.
    QTemporaryDir data;
    const bool live = !state && !request.sample;
    TarnStore::Environment environment = live ? linuxEnvironment({}) : TarnStore::Environment{};
    environment.directory = data.path();
    TarnStore store(std::move(environment));
    bool sampleFailed = false;
    if (request.sample)
        state = sampleState(package, store, request.instance, sampleFailed);

    QWidget tile;
    tile.setAttribute(Qt::WA_StyledBackground);
    tile.setStyleSheet(
            QStringLiteral("background: %1;").arg(ThemeColors::surface.to<QColor>().name()));
    tile.resize(request.size);
    auto* widget = new WebWidget(package, store, request.instance, &tile);
    // Fixed before the page loads: the first state it gets is the one drawn.
    if (state)
        widget->setFixedState(*state);
    bool threw = false;
    int failedFiles = 0;
    QObject::connect(widget, &WebWidget::logged,
                     [&](const QString& line, WebWidget::LineKind kind) {
                         print(LogText::entry(line) + QLatin1Char('\n'));
                         threw = threw || kind == WebWidget::LineKind::uncaughtError;
                         failedFiles += kind == WebWidget::LineKind::failedLoad ? 1 : 0;
                     });
    widget->setGeometry(tile.rect());
    tile.show();
    if (!waitFor([&] { return widget->isReady() || widget->failure(); }, 30000)) {
        print(QStringLiteral("The page did not load within 30 seconds.\n"));
        return 1;
    }
    if (widget->failure()) {
        print(QStringLiteral("The page failed: ") + LogText::escapeControls(*widget->failure()) +
              QLatin1Char('\n'));
        return 1;
    }
    wait(request.settle);
    QImage picture = tile.grab().toImage();
    if (request.pictureWidth && picture.width() > *request.pictureWidth)
        picture = picture.scaledToWidth(*request.pictureWidth, Qt::SmoothTransformation);
    // The smallest file: pictures go into caches and the README.
    if (!picture.save(request.output, nullptr, 0)) {
        print(QStringLiteral("Could not write ") + request.output + QLatin1Char('\n'));
        return 1;
    }
    if (threw)
        print(QStringLiteral("The page threw an error (above); the picture shows it as it was.\n"));
    if (failedFiles > 0)
        print(QStringLiteral("%1 file(s) failed to load (above).\n").arg(failedFiles));
    return threw || failedFiles > 0 || sampleFailed ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int index = 1; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    // Answered before anything starts: no display is needed for these.
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (arguments.value(0) == QStringLiteral("--version")) {
        std::fputs((CommandLine::versionOf(program) + QLatin1Char('\n')).toLocal8Bit().constData(),
                   stdout);
        return 0;
    }
    const auto parsed = parse(arguments);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        print(CommandLine::misuse(program, *error));
        return CommandLine::misuseStatus;
    }
    const Request& request = std::get<Request>(parsed);
    std::optional<QJsonObject> state;
    if (request.stateFile) {
        QFile file(*request.stateFile);
        const QJsonDocument document = file.open(QIODevice::ReadOnly)
                                               ? QJsonDocument::fromJson(file.readAll())
                                               : QJsonDocument();
        if (!document.isObject()) {
            print(*request.stateFile + QStringLiteral(": not a readable JSON object\n"));
            return 1;
        }
        state = document.object();
    }

    ToolEngine::prepare();
    QApplication app(argc, argv);
    return render(request, state);
}
