// The web widget host with real pages in Qt WebEngine, offscreen: snapshots, commands, controls,
// the navigation policy and a page whose process dies.
#include "widgets/web/WebWidget.h"

#include "model/JsonCoding.h"
#include "support/TestPages.h"
#include "support/WebWidgetFixture.h"
#include "widgets/web/WidgetFailurePanel.h"
#include "widgets/web/WidgetPage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>
#include <csignal>

namespace {

const QByteArray pageScript = testPage("web-widget.js");

const char* const pageHTML =
        "<html><body>"
        "<button id=\"go\" data-tarn-control "
        "style=\"position:absolute;left:10px;top:20px;width:100px;height:50px\">Go</button>"
        "<script src=\"page.js\"></script></body></html>";

struct WebWidgetTest : WebWidgetFixture {
    void writePackage(const QString& id, const QStringList& permissions,
                      const QByteArray& html = pageHTML, const QByteArray& script = pageScript) {
        WebWidgetFixture::writePackage(id, permissions, html, script);
    }

    // The memory a process holds for itself alone, in MB. Not its PSS: that moves whenever
    // another engine process starts or ends and shares the libraries' pages differently.
    static double privateMemory(qint64 pid) {
        QFile file(QString("/proc/%1/smaps_rollup").arg(pid));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.startsWith("Private_Dirty:"))
                return line.mid(14).trimmed().split(' ').first().toDouble() / 1024;
        return 0;
    }
};

TEST_F(WebWidgetTest, ReadyBringsAFullSnapshotAndAnUnchangedOneIsNotSentAgain) {
    writePackage("com.example.state", {"storage", "focus"});
    WebWidget& widget = show("com.example.state");
    const QJsonObject first = json(sent.last());
    EXPECT_EQ(first["apiVersion"].toInt(), 1);
    EXPECT_EQ(first["instanceID"].toString(), "com.example.state");
    EXPECT_FALSE(first["touchMode"].toBool(true));
    EXPECT_TRUE(first.contains("focus"));
    EXPECT_TRUE(
            becomes(widget, "window.updates.length > 0 && window.updates.at(-1).apiVersion", 1));

    // Nothing changed: nothing is sent, however often the host publishes.
    spin(300);
    const qsizetype before = sent.size();
    widget.publish();
    widget.publish();
    emit store->nowChanged();
    spin(200);
    EXPECT_EQ(sent.size(), before);

    // A change is sent once.
    store->updatePreferences([](Preferences& p) { p.showSeconds = !p.showSeconds; });
    spin(200);
    ASSERT_EQ(sent.size(), before + 1);
    EXPECT_EQ(json(sent.last())["showSeconds"].toBool(), store->preferences().showSeconds);

    // A page announcing itself again gets the full state even though nothing changed.
    evaluate(widget, "Tarn.ready()");
    EXPECT_TRUE(waitUntil([&] { return sent.size() == before + 2; }));
    EXPECT_EQ(sent.last(), sent.at(before));
}

TEST_F(WebWidgetTest, WhileNobodyLooksThePageRestsLoadedAndGetsTheCurrentStateWhenSeen) {
    writePackage("com.example.rest", {"focus", "storage"});
    WebWidget& widget = show("com.example.rest");
    evaluate(widget, "window.marker = 'kept'");

    // Its page of the dashboard goes out of sight while a command is on its way: the command
    // does nothing, and the page hears why once shown again.
    widget.page()->runJavaScript(
            "Tarn.command('storage.set', {key: 'k', value: 'v'})"
            ".then(() => window.outcome = 'ok', e => window.outcome = e.message)");
    widget.setShown(false);
    spin(300);
    EXPECT_EQ(widget.page()->lifecycleState(), QWebEnginePage::LifecycleState::Frozen);
    EXPECT_FALSE(widget.page()->isVisible());
    EXPECT_TRUE(store->preferences().widgetStorage.isEmpty());
    qsizetype before = sent.size();
    store->updatePreferences([](Preferences& p) { p.showSeconds = !p.showSeconds; });
    spin(100);
    EXPECT_EQ(sent.size(), before);
    widget.setShown(true);
    EXPECT_EQ(sent.size(), before + 1);
    EXPECT_TRUE(becomes(widget, "window.outcome", "The widget is not shown"));
    before = sent.size();

    store->setWatched(false);
    EXPECT_EQ(widget.page()->lifecycleState(), QWebEnginePage::LifecycleState::Frozen);
    store->updatePreferences([](Preferences& p) { p.showSeconds = !p.showSeconds; });
    store->toggleFocus();
    clock->advance(5);
    store->tick(clock->now());
    widget.publish();
    spin(300);
    EXPECT_EQ(sent.size(), before);

    // At once, not at the next beat; the same document, not a reload.
    store->setWatched(true);
    ASSERT_EQ(sent.size(), before + 1);
    EXPECT_EQ(json(sent.last())["showSeconds"].toBool(), store->preferences().showSeconds);
    EXPECT_EQ(widget.page()->lifecycleState(), QWebEnginePage::LifecycleState::Active);
    EXPECT_TRUE(
            becomes(widget, "window.updates.at(-1).showSeconds", store->preferences().showSeconds));
    EXPECT_EQ(evaluate(widget, "window.marker"), "kept");
}

TEST_F(WebWidgetTest, APageThatLoadsWhileNobodyLooksWaitsForItsStateUntilSeen) {
    writePackage("com.example.late", {});
    open();
    store->setWatched(false);
    store->widgets().reload();
    widgets.push_back(std::make_unique<WebWidget>(*store->widgets().package("com.example.late"),
                                                  *store, std::nullopt));
    WebWidget& widget = *widgets.back();
    QObject::connect(&widget, &WebWidget::snapshotSent,
                     [this](const QByteArray& json) { sent.append(json); });
    widget.resize(400, 300);
    widget.show();
    spin(1500);
    EXPECT_EQ(widget.page()->lifecycleState(), QWebEnginePage::LifecycleState::Frozen);
    EXPECT_FALSE(widget.page()->isVisible());
    EXPECT_TRUE(sent.isEmpty());
    store->setWatched(true);
    EXPECT_TRUE(waitUntil([&] { return widget.isReady() && sent.size() == 1; }, 30000));
}

TEST_F(WebWidgetTest, CommandsRoundTripThroughTheBridge) {
    writePackage("com.example.commands", {"storage"});
    WebWidget& widget = show("com.example.commands", QString("com.example.commands@one"));
    evaluate(widget, "Tarn.command('storage.set', {key: 'colour', value: 'teal'})"
                     ".then(() => window.outcome = 'ok', e => window.outcome = e.message)");
    EXPECT_TRUE(becomes(widget, "window.outcome", "ok"));
    EXPECT_EQ(store->preferences().widgetStorage["com.example.commands@one"]["colour"], "teal");
    // The reply comes first, then the new state.
    EXPECT_TRUE(becomes(widget, "Tarn.storage.get('colour')", "teal"));
    EXPECT_EQ(json(sent.last())["storage"].toObject()["colour"].toString(), "teal");
    EXPECT_TRUE(becomes(widget, "JSON.stringify(window.replies.at(-1))", "{\"id\":1,\"ok\":true}"));

    evaluate(widget, "Tarn.command('spotify.control', {action: 'play'})"
                     ".then(() => window.outcome = 'ok', e => window.outcome = e.message)");
    EXPECT_TRUE(becomes(widget, "window.outcome", "Permission was not declared"));
    evaluate(widget, "Tarn.command('focus.toggle')"
                     ".then(() => window.outcome = 'ok', e => window.outcome = e.message)");
    EXPECT_TRUE(becomes(widget, "window.outcome",
                        "Action is unavailable or permission was not declared"));
    EXPECT_FALSE(store->focus().isRunning());
}

TEST_F(WebWidgetTest, ConsoleErrorsAndRefusedCommandsReachTheWidgetLog) {
    const char* script = "console.log('hello', 42);\n"
                         "console.warn('careful');\n"
                         "Tarn.command('spotify.control', {action: 'play'})\n"
                         "    .catch(error => { window.outcome = error.message; });\n"
                         "Tarn.onUpdate(state => { window.cpu = state.metrics.cpu; });\n";
    writePackage("com.example.logged", {"storage"}, pageHTML, script);
    WebWidget& widget = show("com.example.logged", "com.example.logged@1");
    QList<WebWidget::LineKind> kinds;
    QObject::connect(&widget, &WebWidget::logged,
                     [&kinds](const QString&, WebWidget::LineKind kind) { kinds.append(kind); });
    // The page keeps the exact reply; the log says what was missing.
    EXPECT_TRUE(becomes(widget, "window.outcome", "Permission was not declared"));
    const QString path = widget.log().path();
    EXPECT_EQ(path, directory() + "/WidgetLogs/com.example.logged@1.log");
    const auto logText = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    const QStringList expected = {
            "page.js:1: info: hello 42",
            "page.js:2: warning: careful",
            "command \"spotify.control\" failed: Permission was not declared (the manifest does "
            "not declare the permission \"spotify\")",
            "(widget SDK): warning: state.metrics is undefined: the dashboard sends it only to "
            "widgets whose manifest.json declares the \"metrics\" permission",
            "page.js:5: error: Uncaught TypeError: Cannot read properties of undefined (reading "
            "'cpu')",
    };
    for (const QString& line : expected)
        EXPECT_TRUE(waitUntil([&] { return logText().contains(line); }))
                << line.toStdString() << "\nin:\n"
                << logText().toStdString();
    // Every line is stamped with its time.
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT[0-9:.]+ page.js:1: info: hello 42$",
                                   QRegularExpression::MultilineOption)
                        .match(logText())
                        .hasMatch())
            << logText().toStdString();
    // What happens from now on, by kind: the throwing listener on the next state.
    store->updatePreferences([](Preferences& p) { p.showSeconds = !p.showSeconds; });
    EXPECT_TRUE(waitUntil([&] { return kinds.contains(WebWidget::LineKind::uncaughtError); }));
}

TEST_F(WebWidgetTest, AWidgetLogKeepsToItsCapAndItsFolder) {
    QTemporaryDir data;
    WidgetLog log(data.path(), "../../escape@x/y", 300);
    EXPECT_EQ(QFileInfo(log.path()).fileName(), "_.._.._escape@x_y.log");
    EXPECT_EQ(QFileInfo(log.path()).dir().path(), data.path() + "/WidgetLogs");
    for (int i = 0; i < 20; ++i)
        log.write(QString("line %1 of a page that talks a lot").arg(i));
    // At the cap the log starts afresh, the previous one kept beside it; nothing grows further.
    EXPECT_LE(QFileInfo(log.path()).size(), 300 + 80);
    EXPECT_TRUE(QFileInfo::exists(log.path() + ".1"));
    // More than a second's worth is counted, not written.
    WidgetLog busy(data.path(), "busy", 1'000'000);
    for (int i = 0; i < WidgetLog::linesPerSecond + 30; ++i)
        busy.write("again");
    spin(1100);
    busy.write("later");
    QFile file(busy.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.count("again"), WidgetLog::linesPerSecond);
    EXPECT_TRUE(text.contains("(30 more lines in that second were not logged)"));
    EXPECT_TRUE(text.contains("later"));

    // One line of 400 MB would be written whole; a link in the log's place would lead elsewhere.
    WidgetLog huge(data.path(), "huge");
    huge.write(QString(4'000'000, 'C'));
    EXPECT_LT(QFileInfo(huge.path()).size(), 5000);
    const QString target = data.filePath("elsewhere");
    ASSERT_TRUE(QFile::rename(busy.path(), target));
    ASSERT_TRUE(QFile::link(target, busy.path()));
    busy.write("through the link");
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("through the link"));
}

TEST_F(WebWidgetTest, RawMessagesPostedBeforeTheChannelOpensArriveInOrder) {
    // A page that speaks the raw protocol from its very first script.
    writePackage("com.example.raw", {"storage"}, pageHTML,
                 "const post = m => window.webkit.messageHandlers.tarn.postMessage(m);"
                 "window.replies = [];"
                 "Tarn._reply = r => window.replies.push(r.id);"
                 "for (let i = 1; i <= 5; ++i)"
                 "  post({type: 'command', id: i, method: 'storage.set',"
                 "        arguments: {key: 'last', value: String(i)}});"
                 "post('not an object'); post(42); post(null); post([1, 2]);"
                 "post({type: 'command', method: 'storage.set'});"); // no id: no reply
    WebWidget& widget = show("com.example.raw");
    EXPECT_TRUE(becomes(widget, "window.replies.join(',')", "1,2,3,4,5"));
    EXPECT_EQ(store->preferences().widgetStorage["com.example.raw"]["last"], "5");
    spin(200);
    EXPECT_EQ(evaluate(widget, "window.replies.length").toInt(), 5);
}

TEST_F(WebWidgetTest, CallsReachTheFunctionsThePageHasAtThatMoment) {
    // The page wraps _update and _scroll, and defines its own control action.
    writePackage("com.example.wrap", {}, pageHTML,
                 "window.wrapped = []; window.scrolls = [];"
                 "const update = Tarn._update;"
                 "Tarn._update = s => { window.wrapped.push(s.showSeconds); update(s); };"
                 "Tarn._scroll = (x, y, d) => window.scrolls.push([x, y, d]);"
                 "Tarn.onActivate(7, () => window.activated = 'seven');");
    WebWidget& widget = show("com.example.wrap");
    EXPECT_TRUE(becomes(widget, "window.wrapped.length", 1));
    for (int i = 0; i < 3; ++i) {
        store->updatePreferences([](Preferences& p) { p.showSeconds = !p.showSeconds; });
        spin(50);
    }
    EXPECT_TRUE(becomes(widget, "window.wrapped.length", 4));
    // The SDK underneath still got every state.
    EXPECT_EQ(evaluate(widget, "Tarn.state.showSeconds").toBool(),
              store->preferences().showSeconds);

    widget.setZoom(0.5);
    widget.scroll(QPointF(15, 30.5), -12.25);
    EXPECT_TRUE(becomes(widget, "JSON.stringify(window.scrolls)", "[[30,61,-24.5]]"));
    widget.activate(7);
    EXPECT_TRUE(becomes(widget, "window.activated", "seven"));

    // A page that replaces Tarn altogether is called on its own object from then on.
    evaluate(widget, "window.Tarn = { _update: s => window.own = s.apiVersion };");
    store->updatePreferences([](Preferences& p) { p.showSeconds = !p.showSeconds; });
    EXPECT_TRUE(becomes(widget, "window.own", 1));
    EXPECT_FALSE(widget.failure().has_value());
}

TEST_F(WebWidgetTest, TenThousandSnapshotsLeaveTheRendererFlat) {
    // Every state the dashboard sends must leave nothing behind in the page's process: an
    // always-on dashboard sends a few of these every second for days.
    writePackage("com.example.soak", {}, pageHTML,
                 "window.received = 0; Tarn.onUpdate(s => window.received = s.sequence);");
    WebWidget& widget = show("com.example.soak");
    // The collector the SDK runs is not the page's to call.
    EXPECT_EQ(evaluate(widget, "typeof gc"), "undefined");
    const qint64 renderer = widget.page()->renderProcessPid();
    ASSERT_GT(renderer, 0);
    QJsonArray readings;
    for (int i = 0; i < 300; ++i)
        readings.append(QJsonObject{{"name", QString("reading %1").arg(i)}, {"value", i * 0.5}});
    int sequence = 0;
    // Sends in steps of 100 and lets the page catch up, so what is measured is the page and not
    // messages still on their way. After each step, notes the renderer's memory.
    auto send = [&](int count) {
        QList<double> memory;
        for (int step = 0; step < count; step += 100) {
            for (int i = 0; i < 100; ++i)
                widget.setFixedState({{"sequence", ++sequence}, {"readings", readings}});
            const int last = sequence;
            EXPECT_TRUE(becomes(widget, "window.received", last, 20000));
            EXPECT_GT(sent.last().size(), 10000);
            sent.clear();
            memory.append(privateMemory(renderer));
        }
        // The garbage of up to a thousand states waits for the next collection, so single
        // readings saw-tooth; the median over several collections does not.
        std::sort(memory.begin(), memory.end());
        return memory.at(memory.size() / 2);
    };
    send(1000); // warm-up: the engine's caches and heaps reach their working size
    if (!costsMeasured)
        return; // a thousand states are what the sanitizers need to see of the sending side
    const double firstHalf = send(5000);
    const double secondHalf = send(5000);
    // A leak grows with every state (the delivery that leaked took 330 MB over these 10,000,
    // which is 165 MB between the halves).
    EXPECT_LT(secondHalf - firstHalf, 20.0)
            << "from " << firstHalf << " MB to " << secondHalf << " MB";
}

TEST_F(WebWidgetTest, PagesCannotLeaveTheirPackageOrOpenWindows) {
    writePackage("com.example.stay", {});
    WebWidget& widget = show("com.example.stay");
    evaluate(widget, "window.marker = 'still here'");
    for (const char* target :
         {"https://example.com/", "file:///etc/passwd", "tarn-widget://other/index.html"}) {
        evaluate(widget, QString("location.href = '%1'").arg(target));
        spin(300);
        EXPECT_EQ(widget.page()->url().scheme(), "tarn-widget") << target;
        EXPECT_EQ(evaluate(widget, "window.marker").toString(), "still here") << target;
    }
    EXPECT_EQ(evaluate(widget, "String(window.open('tarn-widget://widget/index.html'))"), "null");
    EXPECT_FALSE(widget.failure().has_value());
    // A blank document is not asked about: the widget's own page comes back instead.
    evaluate(widget, "location.href = 'about:blank'");
    EXPECT_TRUE(waitUntil([&] {
        return widget.page()->url() == QUrl("tarn-widget://widget/index.html") && widget.isReady();
    }));
    // Still served: the page keeps receiving its state.
    const qsizetype before = sent.size();
    store->updatePreferences([](Preferences& p) { p.showSeconds = !p.showSeconds; });
    EXPECT_TRUE(waitUntil([&] { return sent.size() > before; }));
}

TEST_F(WebWidgetTest, OpeningAnAppFollowsATapInThatWidget) {
    writePackage("com.example.launch", {"shortcuts"});
    writePackage("com.example.other", {"shortcuts"});
    open();
    launcher->installed["com.apple.finder"] = ::writeFile(folder.filePath("files.desktop"), "");
    WebWidget& widget = show("com.example.launch");
    WebWidget& other = show("com.example.other");
    const QString launch =
            QString("Tarn.command('shortcuts.launch', {id: '%1'})"
                    ".then(() => window.outcome = 'ok', e => window.outcome = e.message)")
                    .arg(Json::uuidText(store->preferences().shortcuts[0].id));
    const auto attempt = [&](WebWidget& target) {
        evaluate(target, "window.outcome = undefined");
        evaluate(target, launch);
        EXPECT_TRUE(waitUntil([&] { return !evaluate(target, "window.outcome").isNull(); }));
        return evaluate(target, "window.outcome").toString();
    };
    const auto click = [](WebWidget& target) {
        QWidget* surface = QWebEngineView::forPage(target.page())->focusProxy();
        ASSERT_NE(surface, nullptr);
        QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(5, 5));
    };

    // A page alone opens nothing, however often it asks.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(attempt(widget), "Opening an app needs a tap on the widget first");
    EXPECT_TRUE(launcher->opened.isEmpty());

    // A click in one widget lets that widget open one app, once.
    click(other);
    EXPECT_EQ(attempt(widget), "Opening an app needs a tap on the widget first");
    click(widget);
    EXPECT_EQ(attempt(widget), "ok");
    EXPECT_EQ(attempt(widget), "Opening an app needs a tap on the widget first");
    EXPECT_EQ(launcher->opened.size(), 1);

    // A touch on a control counts; one two seconds old does not.
    widget.activate(1);
    EXPECT_EQ(attempt(widget), "ok");
    widget.activate(1);
    clock->advance(2.5);
    EXPECT_EQ(attempt(widget), "Opening an app needs a tap on the widget first");
    EXPECT_EQ(launcher->opened.size(), 2);
}

TEST_F(WebWidgetTest, OversizedMessagesNeverReachTheDashboard) {
    writePackage("com.example.big", {"notes"});
    WebWidget& widget = show("com.example.big");
    // The page's world has no way to the channel but the SDK's relay.
    EXPECT_EQ(evaluate(widget, "typeof qt").toString(), "undefined");

    const auto peakKilobytes = [] {
        QFile status("/proc/self/status");
        status.open(QIODevice::ReadOnly);
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toLongLong();
        return 0LL;
    };
    const qint64 peakBefore = peakKilobytes();
    evaluate(widget, "window.webkit.messageHandlers.tarn.postMessage({type: 'command', id: 99,"
                     "  method: 'notes.set', arguments: {text: 'x'.repeat(50 * 1024 * 1024)}});"
                     "Tarn.command('notes.set', {text: 'y'.repeat(100000)})"
                     "  .then(() => window.outcome = 'ok', e => window.outcome = e.message)");
    EXPECT_TRUE(becomes(widget, "window.outcome", "ok", 20000));
    EXPECT_EQ(store->preferences().note, QString(100000, 'y'));
    // The big one was dropped in the page's process: no reply, and the dashboard never held it.
    EXPECT_EQ(evaluate(widget, "JSON.stringify(window.replies.map(r => r.id))").toString(), "[1]");
    EXPECT_LT(peakKilobytes() - peakBefore, 60 * 1024);
}

TEST_F(WebWidgetTest, MarkedControlsBecomeTouchRegionsAndTooManyAreIgnored) {
    writePackage("com.example.controls", {});
    WebWidget& widget = show("com.example.controls", QString("com.example.controls@a"));
    ASSERT_TRUE(waitUntil([&] { return widget.controls().size() == 1; }));
    const WidgetControl control = widget.controls().first();
    EXPECT_EQ(control.frame, QRectF(10, 20, 100, 50));
    EXPECT_TRUE(control.enabled);
    widget.setZoom(0.5);
    const auto regions = widget.touchRegions();
    ASSERT_EQ(regions.size(), 1);
    EXPECT_EQ(regions[0].id, QString("web-com.example.controls@a-%1").arg(control.id));
    EXPECT_EQ(regions[0].frame, QRectF(5, 10, 50, 25));

    widget.activate(control.id);
    EXPECT_TRUE(becomes(widget, "window.clicked", 1));

    // Disabling the button is reported.
    evaluate(widget, "document.getElementById('go').disabled = true");
    EXPECT_TRUE(waitUntil([&] { return !widget.controls().first().enabled; }));

    // 101 controls change nothing; an empty list clears them.
    const QList<WidgetControl> kept = widget.controls();
    evaluate(widget, "window.webkit.messageHandlers.tarn.postMessage({"
                     "type: 'controls', items: Array.from({length: 101}, (_, i) => "
                     "({id: i, x: 0, y: 0, width: 5, height: 5}))})");
    spin(300);
    EXPECT_EQ(widget.controls(), kept);
    evaluate(widget, "Tarn.controls([])");
    EXPECT_TRUE(waitUntil([&] { return widget.controls().isEmpty(); }));
}

TEST_F(WebWidgetTest, ControlsOutOfSightCatchNoTapsUntilScrolledIntoView) {
    // A list of 100-point rows in a 150-point box: the third row lies below its edge, where the
    // page draws the title instead.
    writePackage("com.example.list", {},
                 "<html><body style=\"margin:0\">"
                 "<div id=\"list\" style=\"position:absolute;top:0;height:150px;width:200px;"
                 "overflow-y:auto\">"
                 "<button data-tarn-control style=\"display:block;height:100px;width:200px\">A"
                 "</button><button data-tarn-control style=\"display:block;height:100px;"
                 "width:200px\">B</button><button id=\"c\" data-tarn-control style=\"display:"
                 "block;height:100px;width:200px\">C</button></div>"
                 "<h1 style=\"position:absolute;top:160px\">Title</h1></body></html>",
                 "");
    WebWidget& widget = show("com.example.list");
    ASSERT_TRUE(waitUntil([&] { return widget.controls().size() == 2; }));
    EXPECT_EQ(widget.controls()[1].frame, QRectF(0, 100, 200, 50)); // only its visible half
    widget.scroll(QPointF(100, 50), 150);
    ASSERT_TRUE(waitUntil([&] {
        return widget.controls().size() == 2 &&
               widget.controls()[1].frame == QRectF(0, 50, 200, 100);
    }));
    EXPECT_EQ(evaluate(widget, "document.getElementById('list').scrollTop").toInt(), 150);
}

TEST_F(WebWidgetTest, AFloodingPageIsHeardOnlyUpToItsBudget) {
    writePackage("com.example.flood", {"storage"});
    WebWidget& widget = show("com.example.flood");
    spin(300);
    qsizetype before = sent.size();
    evaluate(widget, "for (let i = 0; i < 1000; ++i) Tarn.ready();");
    spin(1500);
    EXPECT_LE(sent.size() - before, PageBudget::messagesPerSecond * 2);
    // Once the burst is over, the page is heard again.
    spin(1100);
    evaluate(widget, "Tarn.command('storage.set', {key: 'k', value: 'after'})"
                     ".then(() => window.outcome = 'ok')");
    EXPECT_TRUE(becomes(widget, "window.outcome", "ok"));
}

TEST_F(WebWidgetTest, APageThatNeverStopsPostingIsStopped) {
    writePackage("com.example.runaway", {});
    WebWidget& widget = show("com.example.runaway");
    widget.page()->runJavaScript("for (;;) window.webkit.messageHandlers.tarn.postMessage("
                                 "{type: 'ready'});");
    ASSERT_TRUE(waitUntil([&] { return widget.failure().has_value(); }, 60000));
    EXPECT_EQ(*widget.failure(), "This widget sent too many messages");
    // Stopped on purpose: it waits for the user.
    EXPECT_FALSE(widget.isRecovering());
    widget.reload();
    EXPECT_TRUE(waitUntil([&] { return widget.isReady(); }, 30000));
    // Heard again after the reload: the channel is back.
    sent.clear();
    evaluate(widget, "Tarn.ready()");
    EXPECT_TRUE(waitUntil([&] { return !sent.isEmpty(); }));
}

TEST_F(WebWidgetTest, APageWhoseProcessEndsComesBackByItselfOnceThenWaitsForReload) {
    writePackage("com.example.crash", {});
    writePackage("com.example.neighbour", {});
    WebWidget& neighbour = show("com.example.neighbour");
    WebWidget& widget = show("com.example.crash");
    const auto killRenderer = [&](WebWidget& which) {
        const qint64 pid = which.page()->renderProcessPid();
        ASSERT_GT(pid, 0);
        ::kill(pid_t(pid), SIGKILL);
        ASSERT_TRUE(waitUntil([&] { return which.failure().has_value(); }));
    };
    killRenderer(widget);
    // The other widget carries on.
    EXPECT_FALSE(neighbour.failure().has_value());
    evaluate(neighbour, "window.updates = []");
    store->updatePreferences([](Preferences& p) { p.showSeconds = !p.showSeconds; });
    EXPECT_TRUE(becomes(neighbour, "window.updates.length", 1));
    EXPECT_EQ(*widget.failure(), "The widget stopped. Reload it to continue.");
    auto* panel = widget.findChild<WidgetFailurePanel*>();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->message(), "The widget stopped. Reload it to continue.");
    EXPECT_EQ(panel->reloadButton()->text(), "Reload widget");
    // It reads whole in the smallest sections the layout editor allows, as in the largest.
    for (const QSize size :
         {QSize(175, 158), QSize(156, 175), QSize(1878, 158), QSize(498, 1882)}) {
        widget.resize(size);
        QCoreApplication::processEvents();
        for (QWidget* part : panel->findChildren<QWidget*>()) {
            if (part->isHidden())
                continue;
            EXPECT_TRUE(panel->rect().contains(part->geometry()))
                    << size.width() << "x" << size.height();
            if (auto* label = qobject_cast<QLabel*>(part)) {
                EXPECT_LE(label->heightForWidth(label->width()), label->height())
                        << label->text().toStdString() << " at " << size.width() << "x"
                        << size.height();
            }
        }
    }
    EXPECT_TRUE(panel->reloadButton()->isVisible());

    // About two seconds later it loads again by itself and shows live state.
    tasks->advance(1.5);
    EXPECT_TRUE(panel->isVisible());
    sent.clear();
    tasks->advance(0.5);
    EXPECT_FALSE(widget.failure().has_value());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(waitUntil([&] { return widget.isReady() && !sent.isEmpty(); }, 10000));
    EXPECT_TRUE(becomes(widget, "window.updates.length > 0", true));

    // Ending again within a minute: it stays on its panel, however long nobody comes.
    tasks->advance(50);
    killRenderer(widget);
    EXPECT_FALSE(widget.isRecovering());
    tasks->advance(120);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->message(), "The widget stopped. Reload it to continue.");

    sent.clear();
    panel->reloadButton()->click();
    EXPECT_FALSE(widget.failure().has_value());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(waitUntil([&] { return widget.isReady() && !sent.isEmpty(); }, 30000));
    EXPECT_TRUE(becomes(widget, "window.updates.length > 0", true));

    // A widget on a page not shown comes back the same way, and rests again unseen.
    neighbour.setShown(false);
    killRenderer(neighbour);
    tasks->advance(WebWidget::recoveryDelay);
    EXPECT_TRUE(waitUntil(
            [&] {
                return neighbour.page()->lifecycleState() == QWebEnginePage::LifecycleState::Frozen;
            },
            30000));
    EXPECT_FALSE(neighbour.failure().has_value());
    EXPECT_FALSE(neighbour.page()->isVisible());
    sent.clear();
    neighbour.setShown(true);
    EXPECT_TRUE(waitUntil([&] { return neighbour.isReady() && !sent.isEmpty(); }));
    EXPECT_TRUE(becomes(neighbour, "window.updates.length > 0", true));
}

TEST_F(WebWidgetTest, AMainDocumentThatCannotBeServedShowsWhy) {
    writePackage("com.example.gone", {});
    open();
    store->widgets().reload();
    const auto package = store->widgets().package(QString("com.example.gone"));
    ASSERT_TRUE(package.has_value());
    QFile::remove(QDir(package->root).filePath("index.html"));
    WebWidget widget(*package, *store, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return widget.failure().has_value(); }, 30000));
    EXPECT_TRUE(widget.failure()->contains("index.html")) << widget.failure()->toStdString();
    EXPECT_FALSE(widget.isReady());
}

TEST_F(WebWidgetTest, TouchModeNeedsDirectTouchAndTheTouchscreen) {
    writePackage("com.example.touch", {});
    WebWidget& widget = show("com.example.touch");
    widget.setOnTouchscreen(true);
    EXPECT_TRUE(waitUntil([&] { return json(sent.last())["touchMode"].toBool(); }));
    EXPECT_TRUE(becomes(widget, "document.documentElement.classList.contains('tarn-touch')", true));
    store->updatePreferences([](Preferences& p) { p.directTouch = false; });
    EXPECT_TRUE(waitUntil([&] { return !json(sent.last())["touchMode"].toBool(true); }));
}

TEST_F(WebWidgetTest, InstancesOfOnePackageAreSeparate) {
    writePackage("com.example.twice", {"storage"});
    WebWidget& first = show("com.example.twice", QString("com.example.twice@1"));
    WebWidget& second = show("com.example.twice", QString("com.example.twice@2"));
    EXPECT_NE(first.page()->profile(), second.page()->profile());
    EXPECT_TRUE(first.page()->profile()->isOffTheRecord());
    EXPECT_NE(first.instanceKey(), second.instanceKey());
    evaluate(first, "Tarn.storage.set('who', 'first').then(() => window.outcome = 'ok')");
    EXPECT_TRUE(becomes(first, "window.outcome", "ok"));
    EXPECT_TRUE(becomes(first, "Tarn.storage.get('who')", "first"));
    EXPECT_TRUE(becomes(second, "String(Tarn.storage.get('who'))", "null"));
}

TEST_F(WebWidgetTest, EveryIncludedWidgetLoadsWithoutAScriptError) {
    open();
    const QStringList included = {"cpu",
                                  "gpu",
                                  "memory",
                                  "disk",
                                  "network",
                                  "today",
                                  "agenda",
                                  "shortcuts",
                                  "spotify-artwork",
                                  "spotify-controls",
                                  "timer",
                                  "notes",
                                  "pulse",
                                  "machine",
                                  "ai",
                                  "project-status",
                                  "automations",
                                  "audio",
                                  "activity"};
    QStringList errors;
    for (const QString& id : included) {
        const auto package = store->widgets().package(id);
        ASSERT_TRUE(package.has_value()) << id.toStdString();
        EXPECT_TRUE(package->bundled);
        auto widget = std::make_unique<WebWidget>(*package, *store, id + "@test");
        QObject::connect(widget->page(), &WidgetPage::scriptError,
                         [&errors, id](const QString& message, int line, const QString&) {
                             errors.append(QString("%1:%2: %3").arg(id).arg(line).arg(message));
                         });
        widget->resize(364, 502);
        widget->show();
        EXPECT_TRUE(waitUntil([&] { return widget->isReady(); }, 30000)) << id.toStdString();
        // It draws from its state: the waiting text is gone.
        EXPECT_TRUE(waitUntil([&] {
            return !evaluate(*widget, "document.body.innerText")
                            .toString()
                            .contains(QString::fromUtf8("Waiting"));
        })) << id.toStdString();
        widgets.push_back(std::move(widget));
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

} // namespace
