// The least the web engine itself costs for a row like the first-run Overview page: five views,
// each page in its own renderer, four of them changing once a second and one that never does.
// No widget package, bridge, channel or store is involved: bench/idle --floor measures this next
// to the dashboard and the browser page, to tell the engine's share from the dashboard's own.
//
//   engine_floor text     one number per card changes
//   engine_floor svg      the number and an area graph drawn like the included widgets' graphs
//   engine_floor canvas   the number and a line graph drawn like the browser page's cards
#include <QApplication>
#include <QHBoxLayout>
#include <QQuickWindow>
#include <QTextStream>
#include <QWebEngineView>
#include <QWidget>

namespace {

constexpr int cards = 5;
// Like the Overview's GPU widget on a machine without a GPU reading: drawn once.
constexpr int stillCard = 1;

const char* const style = R"(
body{margin:0;background:#151718;color:#edf0e6;font:600 18px system-ui,sans-serif;padding:24px;
     height:100vh;box-sizing:border-box;display:flex;flex-direction:column;gap:12px}
.big{font-size:72px;color:#adebbf}
.graph{position:relative;flex:1;border-bottom:1px solid #2a2e30}
svg,canvas{position:absolute;inset:0;width:100%;height:100%;will-change:transform}
)";

QString graphMarkup(const QString& mode) {
    if (mode == QLatin1String("svg"))
        return QStringLiteral(
                R"(<div class=graph><svg viewBox="0 0 89 100" preserveAspectRatio=none>)"
                R"(<path id=area fill="#adebbf" fill-opacity=.16 />)"
                R"(<path id=line fill=none stroke="#adebbf" stroke-width=2.5 )"
                R"(stroke-linejoin=round vector-effect=non-scaling-stroke /></svg></div>)");
    if (mode == QLatin1String("canvas"))
        return QStringLiteral(
                R"(<div class=graph><canvas id=canvas width=300 height=160></canvas></div>)");
    return {};
}

QString graphScript(const QString& mode) {
    if (mode == QLatin1String("svg"))
        return QStringLiteral(R"(
            let d = '';
            history.forEach((y, x) => {
                d += (x ? 'L' : 'M') + (89 - (history.length - 1 - x)) + ' ' +
                     (98 - y * 0.94).toFixed(2);
            });
            document.getElementById('line').setAttribute('d', d);
            document.getElementById('area').setAttribute(
                'd', d + 'L89 101L' + (90 - history.length) + ' 101Z');)");
    if (mode == QLatin1String("canvas"))
        return QStringLiteral(R"(
            const c = document.getElementById('canvas'), g = c.getContext('2d');
            g.clearRect(0, 0, c.width, c.height);
            g.strokeStyle = '#adebbf'; g.lineWidth = 3; g.beginPath();
            history.forEach((y, x) => {
                const px = x * c.width / 89, py = c.height - y / 100 * c.height;
                x ? g.lineTo(px, py) : g.moveTo(px, py);
            });
            g.stroke();)");
    return {};
}

QString page(int card, const QString& mode) {
    const bool changes = card != stillCard;
    return QStringLiteral(R"(<!doctype html><html><head><meta charset=utf-8><style>%1</style>
        </head><body><div>CARD %2</div><div class=big id=value>0</div>%3<script>
        const history = [];
        function tick() {
            const v = 50 + 40 * Math.sin(Date.now() / 7000 + %2) * Math.random();
            history.push(v);
            if (history.length > 90) history.shift();
            document.getElementById('value').firstChild.data = v.toFixed(0) + '%';
            %4
        }
        tick();
        %5
        </script></body></html>)")
            .arg(QLatin1String(style))
            .arg(card)
            .arg(graphMarkup(mode), graphScript(mode),
                 changes ? QStringLiteral("setInterval(tick, 1000);") : QString());
}

} // namespace

int main(int argc, char** argv) {
    // The dashboard's own choice on a machine that draws with the processor.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--log-level=3");
    QApplication application(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("svg");
    if (mode != QLatin1String("text") && mode != QLatin1String("svg") &&
        mode != QLatin1String("canvas")) {
        QTextStream(stderr) << "usage: engine_floor [text|svg|canvas]\n";
        return 2;
    }
    QWidget window;
    window.setStyleSheet(QStringLiteral("background:#0c0e0f"));
    auto* row = new QHBoxLayout(&window);
    row->setContentsMargins(14, 12, 14, 12);
    row->setSpacing(14);
    for (int card = 0; card < cards; ++card) {
        auto* view = new QWebEngineView;
        // A host of its own per card keeps each page in a renderer of its own, as each widget is.
        view->setHtml(page(card, mode), QUrl(QStringLiteral("http://card%1.invalid/").arg(card)));
        row->addWidget(view);
    }
    window.resize(1920, 540);
    window.show();
    return application.exec();
}
