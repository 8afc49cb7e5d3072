// The touchscreen found by its EDID on a real X server: an Xvfb whose only output carries the
// touchscreen's manufacturer and product numbers, read back through XRandR, and the dashboard
// placed full screen on it. The test starts its own server before the application exists.
#include "app/AppDelegate.h"
#include "dashboard/Dashboard.h"
#include "dashboard/DashboardOverlay.h"
#include "desktop/linux/X11ScreenDirectory.h"
#include "support/AppEnvironment.h"
#include "support/EventLoop.h"
#include "support/FakeServices.h"
#include "support/FakeTouchscreen.h"
#include "support/OneWidgetPages.h"
#include "widgets/web/WidgetEngine.h"

#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace {

QString display;

// Writes a 128-byte EDID with the given manufacturer id and product code on every output.
bool setEdid(quint16 vendor, quint16 product) {
    Display* x = XOpenDisplay(display.toLatin1().constData());
    if (!x)
        return false;
    unsigned char edid[128] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    edid[8] = vendor >> 8;
    edid[9] = vendor & 0xFF;
    edid[10] = product & 0xFF;
    edid[11] = product >> 8;
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i)
        sum += edid[i];
    edid[127] = (256 - sum % 256) % 256;
    const Atom atom = XInternAtom(x, RR_PROPERTY_RANDR_EDID, False);
    XRRScreenResources* resources = XRRGetScreenResources(x, DefaultRootWindow(x));
    const bool found = resources && resources->noutput > 0;
    for (int i = 0; resources && i < resources->noutput; ++i)
        XRRChangeOutputProperty(x, resources->outputs[i], atom, XA_INTEGER, 8, PropModeReplace,
                                edid, 128);
    if (resources)
        XRRFreeScreenResources(resources);
    XSync(x, False);
    XCloseDisplay(x);
    return found;
}

// Gives the server's only output a mode of this size (made when the output has none such) and
// the screen that size, as a change of the display's resolution does.
bool setResolution(int width, int height) {
    Display* x = XOpenDisplay(display.toLatin1().constData());
    if (!x)
        return false;
    const Window root = DefaultRootWindow(x);
    XRRScreenResources* resources = XRRGetScreenResources(x, root);
    RROutput output = resources->outputs[0];
    XRROutputInfo* info = XRRGetOutputInfo(x, resources, output);
    RRMode mode = 0;
    for (int i = 0; i < resources->nmode; ++i) {
        if (int(resources->modes[i].width) == width && int(resources->modes[i].height) == height)
            mode = resources->modes[i].id;
    }
    if (!mode) {
        QByteArray name = QByteArray::number(width) + 'x' + QByteArray::number(height);
        XRRModeInfo created{};
        created.width = unsigned(width);
        created.height = unsigned(height);
        created.dotClock = 60ul * unsigned(width) * unsigned(height);
        created.hTotal = unsigned(width);
        created.vTotal = unsigned(height);
        created.name = name.data();
        created.nameLength = unsigned(name.size());
        mode = XRRCreateMode(x, root, &created);
        XRRAddOutputMode(x, output, mode);
    }
    // Smaller: the output first, then the screen; larger: the other way round.
    const bool smaller = width < DisplayWidth(x, 0);
    const auto resizeScreen = [&] { XRRSetScreenSize(x, root, width, height, 0, 0); };
    if (!smaller)
        resizeScreen();
    const Status status = XRRSetCrtcConfig(x, resources, info->crtc, CurrentTime, 0, 0, mode,
                                           RR_Rotate_0, &output, 1);
    if (smaller)
        resizeScreen();
    XRRFreeOutputInfo(info);
    XRRFreeScreenResources(resources);
    XSync(x, False);
    XCloseDisplay(x);
    return status == Success;
}

struct TouchscreenDisplayTest : testing::Test {
    QTemporaryDir folder;
    X11ScreenDirectory* directory = nullptr;
    std::unique_ptr<AppDelegate> delegate;

    void SetUp() override { ASSERT_TRUE(setEdid(0x0E58, 0xED00)); }
    void TearDown() override { delegate.reset(); }

    AppDelegate& start(QStringList arguments, AppDelegate::Options::Touch touch = {}) {
        writeOneWidgetPages(folder.filePath("Tarn"));
        TarnStore::Environment environment = applicationEnvironment(folder);
        auto screens = std::make_unique<X11ScreenDirectory>();
        directory = screens.get();
        X11ScreenDirectory* refresh = directory;
        delegate = std::make_unique<AppDelegate>(AppDelegate::Options{
                std::move(arguments), std::move(environment), std::move(screens),
                [refresh] { refresh->refresh(); }, false, std::move(touch)});
        return *delegate;
    }

    bool settled(AppDelegate& app) {
        return waitUntil([&] { return !app.placement().inTransition(); }, 10000);
    }

    // A quick stroke to the left across the touchscreen, as its panel reports it on `node`.
    void swipeLeft(FakeTouchscreen& touchscreen, const QString& node) {
        const QRectF frame = findTouchscreen(*directory)->frame;
        for (int step = 0; step <= 6; ++step) {
            touchscreen.send(node,
                             FakeTouchscreen::touching(
                                     frame.topLeft() + QPointF(1800 - step * 100, 400), frame));
            ASSERT_TRUE(touchscreen.drain(node));
        }
        touchscreen.send(node, FakeTouchscreen::report(false));
        ASSERT_TRUE(touchscreen.drain(node));
    }
};

TEST_F(TouchscreenDisplayTest, TheOutputsEdidNamesTheTouchscreen) {
    X11ScreenDirectory screens;
    const auto touchscreen = findTouchscreen(screens);
    ASSERT_TRUE(touchscreen.has_value());
    EXPECT_EQ(touchscreen->name, QGuiApplication::primaryScreen()->name());
    EXPECT_EQ(touchscreen->displayNumber, displayNumber(touchscreen->name));
    EXPECT_EQ(touchscreen->frame, QRectF(0, 0, 2560, 720));

    ASSERT_TRUE(setEdid(0x10AC, 0xED00)); // another maker's monitor
    screens.refresh();
    EXPECT_FALSE(findTouchscreen(screens).has_value());
}

TEST_F(TouchscreenDisplayTest, TheDashboardGoesBackToPreviewWhileTheTouchscreenIsAwayAndReturns) {
    FakeTouchscreen touchscreen;
    touchscreen.add("hidraw0", {"event3"});
    AppDelegate& app = start({"tablora"}, {touchscreen.source(), std::make_unique<FakeServices>(),
                                           nullptr, nullptr});
    ASSERT_TRUE(settled(app));
    EXPECT_TRUE(app.window().isFullScreen());
    EXPECT_EQ(app.window().windowTitle(), "Tablora");
    EXPECT_EQ(app.store().displayName(), QGuiApplication::primaryScreen()->name());
    EXPECT_TRUE(waitUntil([&] { return app.touch().status() == "Direct touch connected"; }));

    // Unplugged: the USB device goes and the display stops being the touchscreen. The window
    // leaves full screen for the preview.
    touchscreen.remove("hidraw0");
    ASSERT_TRUE(setEdid(0x10AC, 0x0001));
    app.displaysChanged();
    EXPECT_TRUE(waitUntil([&] { return !app.window().isFullScreen(); }, 10000));
    ASSERT_TRUE(settled(app));
    EXPECT_EQ(app.window().windowTitle(), QString::fromUtf8("Tablora — Preview"));
    EXPECT_EQ(app.store().displayName(), "Window preview");
    EXPECT_FALSE(app.directTouchRunning());

    // Plugged in again: full screen on it, and direct touch takes the device back.
    ASSERT_TRUE(setEdid(0x0E58, 0xED00));
    app.displaysChanged();
    EXPECT_TRUE(waitUntil([&] { return app.window().isFullScreen(); }, 10000));
    ASSERT_TRUE(settled(app));
    EXPECT_EQ(app.window().windowTitle(), "Tablora");
    EXPECT_TRUE(waitUntil([&] { return app.directTouchRunning(); }));
    touchscreen.add("hidraw1", {"event4"});
    ASSERT_TRUE(waitUntil([&] { return app.touch().status() == "Direct touch connected"; }));
    EXPECT_TRUE(touchscreen.nodes->grabbed.contains(touchscreen.dev("input/event4")));
    swipeLeft(touchscreen, "hidraw1");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(app.store().preferences().board, Board::focus);
}

TEST_F(TouchscreenDisplayTest, AChangeOfResolutionTakesTheWindowAndTheTouchesAlongAtOnce) {
    FakeTouchscreen touchscreen;
    touchscreen.add("hidraw0", {"event3"});
    AppDelegate& app = start({"tablora"}, {touchscreen.source(), std::make_unique<FakeServices>(),
                                           nullptr, nullptr});
    ASSERT_TRUE(settled(app));
    ASSERT_TRUE(waitUntil([&] { return app.touch().status() == "Direct touch connected"; }));

    ASSERT_TRUE(setResolution(1920, 540));
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(waitUntil([&] { return screen->geometry() == QRect(0, 0, 1920, 540); }));
    // A finger near the new bottom-right corner is there, not where that corner used to be.
    const QRectF frame = findTouchscreen(*directory)->frame;
    EXPECT_EQ(frame, QRectF(0, 0, 1920, 540));
    const QPointF corner(1880, 520);
    const QByteArray down = FakeTouchscreen::touching(corner, frame);
    touchscreen.send("hidraw0", down);
    ASSERT_TRUE(touchscreen.drain("hidraw0"));
    ASSERT_TRUE(app.touch().feedback().has_value());
    const QPointF expected = app.dashboard().mapFromGlobal(FakeTouchscreen::decoded(down, frame));
    EXPECT_NEAR(app.touch().feedback()->point.x(), expected.x(), 1);
    EXPECT_NEAR(app.touch().feedback()->point.y(), expected.y(), 1);
    touchscreen.send("hidraw0", FakeTouchscreen::report(false));
    ASSERT_TRUE(touchscreen.drain("hidraw0"));
    // The full-screen window fills the display as it is now.
    EXPECT_TRUE(waitUntil([&] { return app.window().geometry() == QRect(0, 0, 1920, 540); }))
            << app.window().geometry().width() << "x" << app.window().geometry().height();
    EXPECT_TRUE(app.window().isFullScreen());
    EXPECT_TRUE(app.directTouchRunning());

    ASSERT_TRUE(setResolution(2560, 720));
    EXPECT_TRUE(waitUntil([&] { return app.window().geometry() == QRect(0, 0, 2560, 720); }));
}

TEST_F(TouchscreenDisplayTest, TheFullScreenDashboardReactsToTouchesFromTheTouchscreen) {
    FakeTouchscreen touchscreen;
    touchscreen.add("hidraw0", {"event3"});
    AppDelegate& app = start({"tablora"}, {touchscreen.source(), std::make_unique<FakeServices>(),
                                           nullptr, nullptr});
    ASSERT_TRUE(settled(app));
    ASSERT_TRUE(waitUntil([&] { return app.touch().status() == "Direct touch connected"; }));
    EXPECT_TRUE(touchscreen.nodes->grabbed.contains(touchscreen.dev("input/event3")));
    EXPECT_EQ(app.store().preferences().board, Board::overview);

    swipeLeft(touchscreen, "hidraw0");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(app.store().preferences().board, Board::focus);
    EXPECT_TRUE(waitUntil([&] { return app.dashboard().overlay()->indicatorOpacity() > 0.9; }));
    // The desktop saw none of it: the input node stays grabbed until direct touch stops.
    app.toggleWindow();
    EXPECT_TRUE(waitUntil([&] { return !app.directTouchRunning(); }));
    EXPECT_TRUE(touchscreen.nodes->grabbed.isEmpty());
}

TEST_F(TouchscreenDisplayTest, PreviewOptionKeepsTheWindowOffTheTouchscreen) {
    AppDelegate& app = start({"tablora", "--preview"});
    ASSERT_TRUE(settled(app));
    EXPECT_FALSE(app.window().isFullScreen());
    EXPECT_EQ(app.window().windowTitle(), QString::fromUtf8("Tablora — Preview"));
    EXPECT_FALSE(app.directTouchRunning());
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // The server picks a free display number itself and names it when it is ready, so parallel
    // tests, other servers and a user's session are left alone.
    QProcess server;
    server.setProgram(QStringLiteral("Xvfb"));
    server.setArguments(
            {"-displayfd", "1", "-screen", "0", "2560x720x24", "-nolisten", "tcp", "-noreset"});
    server.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    server.start();
    QByteArray number;
    while (!number.endsWith('\n') && server.waitForReadyRead(10000))
        number += server.readAllStandardOutput();
    if (number.trimmed().isEmpty()) {
        fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    // The EDID must be in place before Qt reads the screens.
    if (!setEdid(0x0E58, 0xED00)) {
        fprintf(stderr, "Xvfb has no RandR output\n");
        return 1;
    }
    qputenv("DISPLAY", display.toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    WidgetEngine::prepare();
    int status = 0;
    {
        QApplication app(argc, argv);
        status = RUN_ALL_TESTS();
    }
    server.terminate();
    server.waitForFinished(5000);
    return status;
}
