// Hostile widgets against real listeners on 127.0.0.1: an HTTP server no widget declared, a raw
// TCP port that one widget declares as its HTTPS origin, and a UDP port. Widgets try every route
// out of the page; nothing undeclared may reach a listener, and the declared origin must. And
// widgets that try to make the dashboard's process, which all widgets share, pay for them.
#include "packages/RequestPolicy.h"
#include "support/TestPages.h"
#include "support/WebWidgetFixture.h"

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

// Documents that are not HTML files but would run script if they opened as the page.
const QStringList otherDocuments = {"page.htm", "page.xhtml", "image.svg", "data.xml"};

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
        for (const QString& name : QDir(testPagePath("hostile")).entryList(QDir::Files))
            builder.file(root + name, withPorts(testPage("hostile/" + name)));
        const QByteArray attack = testPage("hostile/attack.js");
        builder.file(root + "worker.js",
                     withPorts(attack.left(attack.indexOf("everyRoute('page')")) +
                               testPage("hostile/worker-routes.js")));
        builder.file(root + "doc.js", withPorts("fetch('http://127.0.0.1:HOST/leak/htm')"));
        // A module's imports run before its own first line.
        builder.file(root + "module.js", "import './imported.js';");
        builder.file(root + "imported.js",
                     withPorts("new WebSocket('ws://127.0.0.1:HOST/leak/module-import');"));
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
        for (const QString& name : otherDocuments) {
            evaluate(QString("location.href = '%1'").arg(name));
            spin(400);
            EXPECT_TRUE(widget->page()->url().path().endsWith(".html")) << name.toStdString();
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
const QByteArray roundTrips = testPage("round-trips.js");

// Commands of about 1 MB, under the size of one message, 19 every 100 ms.
const QByteArray messageFlood = testPage("message-flood.js");

// Files that do not exist, 4,000 a second.
const QByteArray requestFlood = testPage("request-flood.js");

// The web storage a page could fill, blobs and history it could pile up, and windows it could
// open, everywhere it could look.
const QByteArray storageAndWindows = testPage("storage-and-windows.js");

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
    auto sortedTrips = [&] {
        QList<double> trips;
        for (const QVariant& trip : evaluate(neighbour, "window.trips").toList())
            trips.append(trip.toDouble());
        std::sort(trips.begin(), trips.end());
        return trips;
    };
    // The neighbour's round trips with nobody flooding, on this machine as loaded as it is now:
    // what the flood may add is measured against them.
    EXPECT_TRUE(becomes(neighbour, "window.trips.length >= 20", true));
    const QList<double> quiet = sortedTrips();
    const double quietMedian = quiet[quiet.size() / 2];
    const double quietTenth = quiet[quiet.size() * 9 / 10];
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
        const QList<double> trips = sortedTrips();
        ASSERT_GT(trips.size(), 5) << id;
        // Another test may share the machine: a stray slow trip is its doing, a slow tenth ours.
        if (costsMeasured) {
            EXPECT_LT(trips[trips.size() / 2], quietMedian + 10) << id;
            EXPECT_LT(trips[trips.size() * 9 / 10], quietTenth + 50) << id;
            EXPECT_LT(trips.last(), quiet.last() + 250) << id;
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
