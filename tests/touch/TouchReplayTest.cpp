// Touches replayed end to end: report streams as the touchscreen sends them go through a fake
// sysfs and /dev tree (socket pairs for hidraw nodes) into the real reader, the real controller
// and the real dashboard with live widget pages, offscreen. Time for holds, the watchdog and
// momentum is a fake clock the streams move on.
#include "dashboard/Dashboard.h"
#include "dashboard/DashboardOverlay.h"
#include "dashboard/PageStage.h"
#include "dashboard/WidgetContainer.h"
#include "store/StoreTouchHost.h"
#include "support/EventLoop.h"
#include "support/FakeServices.h"
#include "support/FakeTouchscreen.h"
#include "support/ManualTasks.h"
#include "support/PackageBuilder.h"
#include "support/StoreFixture.h"
#include "support/TestPages.h"
#include "touch/views/MouseFallback.h"
#include "touch/views/TouchSurface.h"
#include "touch/views/WidgetTouchWindows.h"
#include "widgets/web/WebWidget.h"
#include "widgets/web/WidgetPage.h"

#include <QDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>

namespace {

// A page with one reported control (id 5) that records what the dashboard makes of touches.
const QByteArray pageScript = testPage("touch-replay.js");

class TouchscreenOnly : public ScreenDirectory {
public:
    QRectF frame;
    QList<ScreenInfo> screens() const override { return {{"edge", frame, 1, 0, {}}}; }
    DisplayModel model(quint32 display) const override {
        return display == 1 ? touchscreenModel : DisplayModel{};
    }
};

const WidgetKind page = *WidgetKind::named("com.example.touch");
const WidgetKind other = *WidgetKind::named("com.example.other"); // on the Focus page
const WidgetKind left = *WidgetKind::named("left.tile");          // placeholders: no plain region
const WidgetKind right = *WidgetKind::named("right.tile");

struct TouchReplayTest : StoreFixture {
    TouchReplayTest() { tasks = std::make_shared<ManualTasks>(clock); }
    FakeTouchscreen screen;
    TouchscreenOnly screens;
    FakeServices* services = nullptr;
    std::unique_ptr<Dashboard> dashboard;
    std::unique_ptr<DirectTouchController> touch;
    QPointF last;         // the finger on the dashboard, as the stream meant it
    QPointF lastScreen;   // and as the reader decoded it
    QPointF beforeScreen; // the decoded position before that

    void SetUp() override {
        customize = [](TarnStore::Environment& environment) {
            environment.resources = TABLORA_RESOURCES_DIRECTORY;
        };
        PackageBuilder builder(QDir(directory()).filePath("Widgets"));
        QJsonObject manifest = PackageBuilder::validManifest("com.example.touch");
        manifest["name"] = "Touch Page";
        builder.write("com.example.touch.tarnwidget", manifest);
        builder.file("com.example.touch.tarnwidget/index.html",
                     "<html><body style=\"margin:0;height:3000px\">"
                     "<script src=\"page.js\"></script></body></html>");
        builder.file("com.example.touch.tarnwidget/page.js", pageScript);
        builder.write("com.example.other.tarnwidget",
                      PackageBuilder::validManifest("com.example.other"));
        builder.file("com.example.other.tarnwidget/index.html",
                     "<html><body><script src=\"page.js\"></script></body></html>");
        builder.file("com.example.other.tarnwidget/page.js", pageScript);
        open(std::chrono::milliseconds(0));
        store->setLayout(PageLayout::preset(PageLayout::Preset::three, {page, left, right}),
                         Board::overview);
        store->setLayout(PageLayout::preset(PageLayout::Preset::single, {other}), Board::focus);
        store->updatePreferences([](Preferences& p) { p.board = Board::overview; });

        dashboard = std::make_unique<Dashboard>(*store);
        dashboard->setGeometry(0, 0, 2560, 720);
        dashboard->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dashboard.get()));
        screens.frame = QRectF(dashboard->mapToGlobal(QPoint(0, 0)), QSizeF(2560, 720));

        screen.add("hidraw0", {"event4"});
        auto fakeServices = std::make_unique<FakeServices>();
        services = fakeServices.get();
        touch = std::make_unique<DirectTouchController>(
                controllerEnvironment(std::move(fakeServices)));
        dashboard->attachTouch(*touch);
        touch->start();
        ASSERT_EQ(touch->status(), "Direct touch connected");
        ASSERT_TRUE(
                waitUntil([&] { return web().isReady() && !web().controls().isEmpty(); }, 30000));
        dashboard->touchSurface()->collect();
    }

    void TearDown() override {
        touch.reset();
        dashboard.reset();
        store.reset();
    }

    DirectTouchController::Environment
    controllerEnvironment(std::unique_ptr<ServiceControl> services) {
        DirectTouchController::Environment environment;
        environment.host = storeTouchHost(*store);
        environment.screens = &screens;
        environment.windows = std::make_unique<WidgetTouchWindows>();
        environment.devices = screen.source();
        environment.services = std::move(services);
        environment.clock = clock;
        environment.tasks = tasks;
        environment.supportFolder = directory();
        return environment;
    }

    WebWidget& web() const { return *dashboard->container(page)->web(); }
    QPointF centre(const WidgetKind& kind) const {
        return QRectF(dashboard->container(kind)->geometry()).center();
    }
    // A point of the page, in page (CSS) pixels, on the dashboard.
    QPointF onPage(double x, double y) const {
        return web().mapTo(dashboard.get(), QPointF(x, y) * web().zoom());
    }

    // ---- The streams: a report every 7.5 ms, as the touchscreen sends them.

    void send(const QByteArray& report) {
        screen.send("hidraw0", report);
        ASSERT_TRUE(screen.drain("hidraw0"));
    }
    void touchAt(QPointF at) {
        last = at;
        const QByteArray report =
                FakeTouchscreen::touching(dashboard->mapToGlobal(at), screens.frame);
        beforeScreen = lastScreen;
        lastScreen = FakeTouchscreen::decoded(report, screens.frame);
        send(report);
    }
    void down(QPointF at) {
        tasks->advance(0.0075);
        touchAt(at);
    }
    void drag(QPointF to, double seconds) {
        const QPointF from = last;
        const int steps = std::max(1, qRound(seconds / 0.0075));
        for (int step = 1; step <= steps; ++step) {
            tasks->advance(seconds / steps);
            touchAt(from + (to - from) * step / steps);
        }
    }
    void up() {
        tasks->advance(0.0075);
        send(FakeTouchscreen::report(false));
    }
    void tap(QPointF at) {
        down(at);
        up();
    }

    QVariant evaluate(const QString& script) {
        auto result = std::make_shared<std::optional<QVariant>>();
        web().page()->runJavaScript(script, [result](const QVariant& value) { *result = value; });
        EXPECT_TRUE(waitUntil([&] { return result->has_value(); }, 20000)) << script.toStdString();
        return result->value_or(QVariant());
    }
    bool pageSays(const QString& script, const QVariant& expected) {
        return waitUntil([&] { return evaluate(script) == expected; }, 10000);
    }
    // The page saw one click, within a pixel of the point (a touch lands between pixels).
    bool clickedNear(double x, double y) {
        if (!pageSays("window.clicks.length", 1))
            return false;
        const QVariantList click = evaluate("window.clicks[0]").toList();
        return std::abs(click.value(0).toDouble() - x) <= 1 &&
               std::abs(click.value(1).toDouble() - y) <= 1;
    }
    QString log() const { return QString::fromUtf8(readFile("touch.log")); }
};

TEST_F(TouchReplayTest, TapsRunTheControlOnceAndClickWhereNoRegionLies) {
    const QString region = "web-com.example.touch-5";
    QSignalSpy touched(touch.get(), &DirectTouchController::touched);
    tap(onPage(60, 50));
    EXPECT_TRUE(pageSays("window.activations", 1));
    EXPECT_TRUE(log().contains("Activated " + region));
    // The region's press showed while the finger was down, and is gone.
    EXPECT_FALSE(touch->feedback().has_value());

    // Empty page space: one click, at the page's own coordinates, and no activation.
    tap(onPage(300, 400));
    EXPECT_TRUE(clickedNear(300, 400));
    spin(300);
    EXPECT_EQ(evaluate("window.clicks.length").toInt(), 1);
    EXPECT_EQ(evaluate("window.activations").toInt(), 1);
    EXPECT_EQ(log().count("Activated "), 1);

    // A tap that ends just outside the control does nothing at all.
    down(onPage(135, 50));
    drag(onPage(148, 50), 0.05);
    up();
    spin(300);
    EXPECT_EQ(evaluate("window.activations").toInt(), 1);
    EXPECT_EQ(evaluate("window.clicks.length").toInt(), 1);
    // Each finger coming down is told once (it wakes a blanked screen).
    EXPECT_EQ(touched.count(), 3);
}

TEST_F(TouchReplayTest, SwipesTurnPagesWithinTheirEndsAndFlashTheIndicator) {
    const auto swipe = [&](double dx) {
        down(QPointF(1700, 400));
        drag(QPointF(1700 + dx, 410), 0.15);
        up();
    };
    swipe(-400);
    EXPECT_EQ(store->preferences().board, Board::focus);
    EXPECT_EQ(touch->pageIndicatorRevision(), 2); // once crossing 30 points, once at the end
    EXPECT_TRUE(waitUntil([&] { return dashboard->overlay()->indicatorOpacity() > 0.9; }));
    EXPECT_TRUE(log().contains("Swiped to Focus"));

    swipe(400);
    swipe(400); // already on the first page: it stays, and the indicator still flashes
    EXPECT_EQ(store->preferences().board, Board::overview);
    EXPECT_EQ(touch->pageIndicatorRevision(), 6);
    EXPECT_EQ(log().count("Swiped to Overview"), 2);

    for (int i = 0; i < 3; ++i)
        swipe(-400);
    EXPECT_EQ(store->preferences().board, Board::system); // the last page
    EXPECT_FALSE(store->settingsOpen());

    // Down from the top edge, above the tiles: the settings.
    down(QPointF(1280, 10));
    drag(QPointF(1290, 200), 0.3);
    up();
    EXPECT_TRUE(store->settingsOpen());
    EXPECT_TRUE(log().contains("Opened settings with edge swipe"));
}

TEST_F(TouchReplayTest, PressAndHoldDragsATileOntoAnotherAndSavesTheSwap) {
    QSignalSpy saved(store.get(), &TarnStore::saved);
    down(centre(left));
    tasks->advance(TouchContacts::holdDelay);
    ASSERT_TRUE(touch->feedback().has_value());
    EXPECT_EQ(touch->feedback()->dragLabel, "left.tile");
    EXPECT_EQ(touch->feedback()->frame, QRectF(dashboard->container(left)->geometry()));
    const QPointF target = centre(right);
    const QRect rightWasAt = dashboard->container(right)->geometry();
    drag(target, 0.2);
    EXPECT_EQ(touch->feedback()->dropFrame, QRectF(rightWasAt));
    up();
    EXPECT_EQ(store->layout(Board::overview).widgets(), QList<WidgetKind>({page, right, left}));
    // The two tiles move into each other's place.
    EXPECT_TRUE(dashboard->stage(Board::overview)->isMovingTiles());
    EXPECT_TRUE(waitUntil([&] { return !dashboard->stage(Board::overview)->isMovingTiles(); }));
    EXPECT_EQ(dashboard->container(left)->geometry(), rightWasAt);
    EXPECT_TRUE(log().contains("Swapped left.tile and right.tile"));
    saved.clear();
    tasks->advance(0.01);
    ASSERT_EQ(saved.count(), 1);
    const QJsonArray sections = QJsonDocument::fromJson(readFile("preferences.json"))
                                        .object()["pageLayouts"]
                                        .toObject()["Overview"]
                                        .toObject()["sections"]
                                        .toArray();
    ASSERT_EQ(sections.size(), 3);
    EXPECT_EQ(sections[2].toObject()["widget"].toString(), "left.tile");

    // Dropped onto itself, or moved before the hold: nothing changes.
    dashboard->touchSurface()->collect();
    down(centre(left));
    tasks->advance(TouchContacts::holdDelay + 0.1);
    drag(centre(left) + QPointF(5, 5), 0.1);
    up();
    down(centre(left));
    drag(centre(left) + QPointF(0, 30), 0.2);
    tasks->advance(1);
    drag(centre(left) + QPointF(0, 200), 0.2);
    up();
    EXPECT_EQ(store->layout(Board::overview).widgets(), QList<WidgetKind>({page, right, left}));
    EXPECT_EQ(log().count("Swapped"), 1);
}

TEST_F(TouchReplayTest, VerticalDragsScrollThePageWithTheFingersSteps) {
    const double zoom = web().zoom();
    ASSERT_GT(zoom, 1.3); // the page's pixels are not the dashboard's
    // Slow, then fast; neither taps nor clicks.
    for (const double seconds : {1.0, 0.04}) {
        evaluate("window.scrolls = []");
        down(onPage(200, 300));
        drag(onPage(200, 240), seconds);
        up();
        const QJsonArray scrolls =
                QJsonDocument::fromJson(
                        evaluate("JSON.stringify(window.scrolls)").toString().toUtf8())
                        .array();
        ASSERT_FALSE(scrolls.isEmpty()) << seconds;
        double total = 0;
        for (const QJsonValue& call : scrolls) {
            EXPECT_NEAR(call[0].toDouble(), 200, 0.2);
            EXPECT_GT(call[2].toDouble(), 0); // the finger went up: the page scrolls on
            total += call[2].toDouble();
        }
        // Scrolling starts beyond 12 points; from there every step of the finger arrives.
        EXPECT_LE(total, 60.01) << seconds;
        EXPECT_GE(total, 60 - 13 / zoom) << seconds;
        // The last call carries exactly the point under the finger and its step, in page pixels.
        const QPointF finger = web().mapFromGlobal(lastScreen) / zoom;
        const double step = (lastScreen.y() - beforeScreen.y()) / zoom;
        const QJsonArray lastCall = scrolls.last().toArray();
        EXPECT_DOUBLE_EQ(lastCall[0].toDouble(), finger.x());
        EXPECT_DOUBLE_EQ(lastCall[1].toDouble(), finger.y());
        EXPECT_DOUBLE_EQ(lastCall[2].toDouble(), -step);
        tasks->advance(1); // no momentum for pages
        EXPECT_EQ(evaluate("window.scrolls.length").toInt(), scrolls.size());
    }
    EXPECT_EQ(evaluate("window.clicks.length").toInt(), 0);
    EXPECT_EQ(evaluate("window.activations").toInt(), 0);
}

TEST_F(TouchReplayTest, ANativeListScrollsAndOnlyAFastReleaseCarriesOn) {
    // A window of its own over the dashboard, as the settings window would be, whose surface
    // starts below a bar of 40 points.
    QWidget window;
    auto* content = new QWidget(&window);
    content->setGeometry(0, 40, 800, 600);
    auto* list = new QListWidget(content);
    for (int i = 0; i < 300; ++i)
        list->addItem(QString("Item %1").arg(i));
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setGeometry(0, 0, 800, 600);
    window.setGeometry(QRect(dashboard->mapToGlobal(QPoint(100, 50)), QSize(800, 640)));
    new TouchSurface(*touch, content, false);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QScrollBar* bar = list->verticalScrollBar();
    const auto at = [&](QPointF point) {
        return dashboard->mapFromGlobal(window.mapToGlobal(point));
    };

    down(at({400, 400}));
    drag(at({400, 200}), 1.0);
    const int afterSlow = bar->value();
    EXPECT_NEAR(afterSlow, 200 - 12, 3);
    tasks->advance(0.2);
    up();
    tasks->advance(2);
    EXPECT_EQ(bar->value(), afterSlow);

    down(at({400, 400}));
    drag(at({400, 250}), 0.05);
    const int afterFast = bar->value();
    up();
    tasks->advance(0.5);
    EXPECT_GT(bar->value(), afterFast + 100);
    tasks->advance(5);
    EXPECT_EQ(tasks->pending(), 0u); // momentum ran out
    const int settled = bar->value();
    tasks->advance(1);
    EXPECT_EQ(bar->value(), settled);

    // Above the surface, the finger drags the window.
    const QPoint origin = window.pos();
    down(at({400, 20}));
    drag(at({400, 20}) + QPointF(150, 30), 0.2);
    up();
    EXPECT_EQ(window.pos(), origin + QPoint(150, 30));
    EXPECT_EQ(bar->value(), settled);

    // While the window shows a dialog, a tap on the window reaches nothing; the dashboard beside
    // it still works. Without the dialog the tap clicks the list.
    QDialog dialog(&window);
    dialog.setGeometry(QRect(window.mapToGlobal(QPoint(500, 300)), QSize(200, 100)));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    tap(at({200, 100}));
    tap(onPage(60, 50));
    EXPECT_TRUE(pageSays("window.activations", 1));
    spin(100);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    dialog.hide();
    tap(at({200, 100}));
    EXPECT_TRUE(waitUntil([&] { return !list->selectedItems().isEmpty(); }));

    // A window closed under the finger ends the contact; a touch on the dashboard beside the
    // window still works.
    down(at({400, 400}));
    drag(at({400, 300}), 0.1);
    window.hide();
    drag(at({400, 200}), 0.1);
    EXPECT_FALSE(touch->contacts().inContact());
    up();
    tap(onPage(60, 50));
    EXPECT_TRUE(pageSays("window.activations", 2));
}

TEST_F(TouchReplayTest, ContactsThatStopOrLoseTheirDeviceOrSurfaceAreDropped) {
    // Silent for 5 s: the watchdog drops it, and its lift taps nothing.
    down(onPage(60, 50));
    ASSERT_TRUE(touch->feedback().has_value());
    tasks->advance(TouchContacts::watchdogDelay);
    EXPECT_FALSE(touch->contacts().inContact());
    EXPECT_FALSE(touch->feedback().has_value());
    up();
    spin(200);
    EXPECT_EQ(evaluate("window.activations").toInt(), 0);

    // The device goes away with a finger down: no ended sample, the grab is let go.
    down(onPage(60, 50));
    screen.remove("hidraw0");
    ASSERT_TRUE(
            waitUntil([&] { return touch->status() == "Waiting for the Edge’s USB connection"; }));
    EXPECT_FALSE(touch->contacts().inContact());
    EXPECT_TRUE(screen.nodes->grabbed.isEmpty());

    // It comes back, and a widget drag loses its surface halfway: nothing is swapped.
    screen.add("hidraw1", {"event5"});
    ASSERT_TRUE(waitUntil([&] { return touch->status() == "Direct touch connected"; }));
    const auto send = [&](const QByteArray& report) {
        screen.send("hidraw1", report);
        ASSERT_TRUE(screen.drain("hidraw1"));
    };
    const QRectF frame = screens.frame;
    send(FakeTouchscreen::touching(dashboard->mapToGlobal(centre(left)), frame));
    tasks->advance(TouchContacts::holdDelay);
    ASSERT_TRUE(touch->feedback() && touch->feedback()->dragLabel);
    delete dashboard->touchSurface();
    EXPECT_FALSE(touch->contacts().inContact());
    send(FakeTouchscreen::touching(dashboard->mapToGlobal(centre(right)), frame));
    send(FakeTouchscreen::report(false));
    EXPECT_EQ(store->layout(Board::overview).widgets(), QList<WidgetKind>({page, left, right}));

    touch->stop();
    EXPECT_TRUE(screen.nodes->grabbed.isEmpty());
    EXPECT_EQ(touch->status(), "Standard mouse mode");
}

TEST_F(TouchReplayTest, TheMouseFallbackTakesDashboardPressesButNotItsOwnClicks) {
    // The touchscreen cannot be opened: the legacy driver's mouse events stand in for touches.
    touch->stop();
    screen.nodes->openErrors.insert(screen.dev("hidraw0"), EACCES);
    touch->start();
    ASSERT_FALSE(touch->isRunning());
    MouseFallback fallback(*touch);

    const QPoint control = onPage(60, 50).toPoint();
    QTest::mouseClick(dashboard->windowHandle(), Qt::LeftButton, {}, control);
    EXPECT_TRUE(pageSays("window.activations", 1));
    spin(300);
    EXPECT_EQ(evaluate("window.clicks.length").toInt(), 0); // the page never saw the mouse

    // Where no region lies the contact ends in a synthetic click, which the fallback lets pass.
    QTest::mouseClick(dashboard->windowHandle(), Qt::LeftButton, {}, onPage(300, 400).toPoint());
    EXPECT_TRUE(clickedNear(300, 400));
    EXPECT_FALSE(touch->contacts().inContact());
    EXPECT_EQ(evaluate("window.activations").toInt(), 1);
}

// The regions the dashboard has registered now, by id.
QStringList regionIDs(const TouchSurface& surface) {
    QStringList ids;
    for (const TouchRegion& region : surface.regions())
        ids.append(region.id);
    return ids;
}

TEST_F(TouchReplayTest, ASwipeSlidesToAPageDrawnAheadThatRestedUntilItWasShown) {
    const auto swipe = [&](double dx) {
        down(QPointF(1700, 400));
        drag(QPointF(1700 + dx, 410), 0.15);
        up();
    };
    WebWidget* overview = &web();
    const QPointF control = onPage(60, 50);
    // The next page is drawn ahead, out of sight: loaded, at rest, without state or regions.
    dashboard->preloadNow();
    ASSERT_NE(dashboard->stage(Board::focus), nullptr);
    WebWidget* ahead = dashboard->stage(Board::focus)->container(other)->web();
    QSignalSpy states(ahead, &WebWidget::snapshotSent);
    ASSERT_TRUE(waitUntil(
            [&] {
                return ahead->isReady() &&
                       ahead->page()->lifecycleState() == QWebEnginePage::LifecycleState::Frozen;
            },
            30000));
    EXPECT_FALSE(ahead->page()->isVisible());
    EXPECT_EQ(states.count(), 0);
    dashboard->touchSurface()->collect();
    EXPECT_FALSE(regionIDs(*dashboard->touchSurface()).join(' ').contains("com.example.other"));

    // The swipe slides to it at once, with its state; the page leaving takes no touch from then.
    swipe(-400);
    EXPECT_EQ(store->preferences().board, Board::focus);
    EXPECT_TRUE(dashboard->isSliding());
    EXPECT_EQ(dashboard->container(other)->web(), ahead);
    EXPECT_EQ(states.count(), 1);
    dashboard->touchSurface()->collect();
    EXPECT_FALSE(regionIDs(*dashboard->touchSurface()).contains("web-com.example.touch-5"));

    // A second swipe during the slide goes on to the page after.
    swipe(-400);
    EXPECT_EQ(store->preferences().board, Board::system);
    // Back to the first page: the same widget, not a new load, and a tap while it slides in
    // lands on what is under the finger where the slide ends.
    swipe(400);
    swipe(400);
    EXPECT_EQ(store->preferences().board, Board::overview);
    EXPECT_EQ(&web(), overview);
    ASSERT_TRUE(dashboard->isSliding());
    down(control);
    EXPECT_FALSE(dashboard->isSliding());
    up();
    EXPECT_TRUE(pageSays("window.activations", 1));
    EXPECT_EQ(dashboard->keptPages(), (QList<Board>{Board::overview, Board::focus, Board::system}));
}

TEST_F(TouchReplayTest, KeptPagesFollowEditsRescansRemovalsAndTheOrientation) {
    dashboard->preloadNow();
    PageStage* focus = dashboard->stage(Board::focus);
    ASSERT_NE(focus, nullptr);
    WebWidget* before = focus->container(other)->web();

    // An edit of the hidden page reaches it; so does a rescan, which replaces its page.
    const WidgetKind extra = *WidgetKind::named("focus.extra");
    store->setLayout(PageLayout::preset(PageLayout::Preset::two, {other, extra}), Board::focus);
    EXPECT_EQ(focus->containers().size(), 2);
    store->widgets().reload();
    ASSERT_NE(focus->container(other), nullptr);
    EXPECT_NE(focus->container(other)->web(), before);
    EXPECT_FALSE(focus->container(other)->web()->isSeen());

    // A changed orientation lays it out anew: its tiles stand one above the other.
    store->updatePreferences([](Preferences& p) { p.orientation = LayoutOrientation::vertical; });
    EXPECT_GT(focus->container(extra)->geometry().top(),
              focus->container(other)->geometry().bottom());

    // Its package removed, the widget's page goes away with it.
    QDir(QDir(directory()).filePath("Widgets/com.example.other.tarnwidget")).removeRecursively();
    store->widgets().reload();
    ASSERT_NE(focus->container(other), nullptr);
    EXPECT_EQ(focus->container(other)->web(), nullptr);

    // Deleting the page moves the next one into its place, and the kept page follows.
    const int systemTiles = int(store->layout(Board::system).widgets().size());
    EXPECT_TRUE(store->deletePage(Board::focus));
    EXPECT_EQ(dashboard->stage(Board::focus), focus);
    EXPECT_EQ(focus->container(other), nullptr);
    EXPECT_EQ(focus->containers().size(), systemTiles);
}

} // namespace
