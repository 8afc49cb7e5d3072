// The touchscreen found by its EDID on a real X server: an Xvfb whose only output carries the
// touchscreen's manufacturer and product numbers, read back through XRandR, and the dashboard
// placed full screen on it. The test starts its own server before the application exists.
#include "app/AppDelegate.h"
#include "app/linux/X11ScreenDirectory.h"
#include "dashboard/Dashboard.h"
#include "dashboard/DashboardOverlay.h"
#include "support/AppEnvironment.h"
#include "support/EventLoop.h"
#include "support/FakeServices.h"
#include "support/FakeTouchscreen.h"
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

struct TouchscreenDisplayTest : testing::Test {
    QTemporaryDir folder;
    X11ScreenDirectory* directory = nullptr;
    std::unique_ptr<AppDelegate> delegate;

    void SetUp() override { ASSERT_TRUE(setEdid(0x0E58, 0xED00)); }
    void TearDown() override { delegate.reset(); }

    AppDelegate& start(QStringList arguments, AppDelegate::Options::Touch touch = {}) {
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

TEST_F(TouchscreenDisplayTest, TheDashboardGoesFullScreenOnTheTouchscreenAndBackToPreview) {
    AppDelegate& app = start({"tablora"});
    ASSERT_TRUE(settled(app));
    EXPECT_TRUE(app.window().isFullScreen());
    EXPECT_EQ(app.window().windowTitle(), "Tablora");
    EXPECT_EQ(app.store().displayName(), QGuiApplication::primaryScreen()->name());
    EXPECT_TRUE(waitUntil([&] { return app.directTouchRunning(); }));

    // The display stops being the touchscreen: the window leaves full screen for the preview.
    ASSERT_TRUE(setEdid(0x10AC, 0x0001));
    app.displaysChanged();
    EXPECT_TRUE(waitUntil([&] { return !app.window().isFullScreen(); }, 10000));
    ASSERT_TRUE(settled(app));
    EXPECT_EQ(app.window().windowTitle(), QString::fromUtf8("Tablora — Preview"));
    EXPECT_EQ(app.store().displayName(), "Window preview");
    EXPECT_FALSE(app.directTouchRunning());
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

    // A quick stroke to the left, as the panel reports it.
    const QRectF frame = findTouchscreen(*directory)->frame;
    for (int step = 0; step <= 6; ++step) {
        touchscreen.send("hidraw0",
                         FakeTouchscreen::touching(
                                 frame.topLeft() + QPointF(1800 - step * 100, 400), frame));
        ASSERT_TRUE(touchscreen.drain("hidraw0"));
    }
    touchscreen.send("hidraw0", FakeTouchscreen::report(false));
    ASSERT_TRUE(touchscreen.drain("hidraw0"));
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
