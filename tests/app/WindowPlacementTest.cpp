// Where the dashboard goes, driven with fake screens and a fake window whose full-screen changes
// end only when the test says so.
#include "app/WindowPlacement.h"

#include <QHash>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

constexpr quint32 desk = 1;
constexpr quint32 bar = 2;
constexpr quint32 side = 3;

class FakeScreens : public ScreenDirectory {
public:
    QList<ScreenInfo> list;
    QHash<quint32, DisplayModel> models;

    QList<ScreenInfo> screens() const override { return list; }
    DisplayModel model(quint32 number) const override { return models.value(number); }

    void plugDesk() {
        list.append({"DP-1", QRectF(0, 0, 1920, 1080), desk, 0, QRectF(0, 32, 1920, 1048)});
    }
    void plugBar() {
        list.append({"HDMI-1", QRectF(0, 1080, 2560, 720), bar, 0, {}});
        models.insert(bar, touchscreenModel);
    }
    void plugSide() { list.append({"DP-2", QRectF(1920, 0, 1280, 1024), side, 0, {}}); }
    void unplug(quint32 number) {
        list.removeIf([number](const ScreenInfo& s) { return s.displayNumber == number; });
    }
};

// Records what placing did; full screen is entered or left only when the test finishes the
// transition.
class FakeWindow : public PlacementWindow {
public:
    bool fullScreen = false;
    std::optional<quint32> display;
    QString title;
    QRectF frame;
    QSizeF minimum;
    QStringList calls;
    std::optional<ScreenInfo> requested;

    bool isFullScreen() const override { return fullScreen; }
    std::optional<quint32> currentDisplay() const override { return display; }
    void setMinimumContentSize(const QSizeF& size) override { minimum = size; }
    void showWindowed(const QString& t, const QRectF& f) override {
        title = t;
        frame = f;
        calls.append("windowed");
    }
    void enterFullScreen(const QString& t, const ScreenInfo& screen) override {
        title = t;
        requested = screen;
        calls.append("enter " + screen.name);
    }
    void fillScreen(const ScreenInfo& screen) override { frame = screen.frame; }
    void exitFullScreen() override { calls.append("exit"); }
};

struct WindowPlacementTest : testing::Test {
    FakeScreens screens;
    FakeWindow window;
    LayoutOrientation orientation = LayoutOrientation::horizontal;
    std::optional<quint32> displayID;
    QString displayName;
    std::optional<bool> touch;
    QStringList toasts;
    WindowPlacement placement{
            screens, window,
            WindowPlacement::Host{[this] { return orientation; }, [this] { return displayID; },
                                  [this](const QString& name) { displayName = name; },
                                  [this](bool on) { touch = on; },
                                  [this](const QString& text) { toasts.append(text); }}};

    void finishEntering() {
        window.fullScreen = true;
        window.display = window.requested->displayNumber;
        placement.didEnterFullScreen();
    }
    void finishLeaving() {
        window.fullScreen = false;
        placement.didExitFullScreen();
    }
};

TEST_F(WindowPlacementTest, WithoutTouchscreenTheDashboardIsACentredPreview) {
    screens.plugDesk();
    placement.place();
    EXPECT_EQ(window.calls, QStringList{"windowed"});
    EXPECT_EQ(window.title, QString::fromUtf8("Tablora — Preview"));
    EXPECT_EQ(displayName, "Window preview");
    EXPECT_EQ(touch, false);
    // min((0.9 * 1048 - 28) / 540, 0.9 * 1920 / 1920, 1600 / 1920) = 1600 / 1920.
    EXPECT_DOUBLE_EQ(window.frame.width(), 1600);
    EXPECT_DOUBLE_EQ(window.frame.height(), 450);
    EXPECT_EQ(window.frame.center(), QRectF(0, 32, 1920, 1048).center());
    EXPECT_EQ(window.minimum, QSizeF(960, 270));
}

TEST_F(WindowPlacementTest, PreviewScaleFollowsASmallDisplaysHeight) {
    screens.list.append({"small", QRectF(0, 0, 1280, 300), desk, 0, {}});
    placement.place();
    const double scale = (0.9 * 300 - 28) / 540;
    EXPECT_NEAR(window.frame.width(), 1920 * scale, 1e-9);
    // No screen at all: an area of 1440 x 900 at the origin.
    screens.list.clear();
    placement.place();
    EXPECT_EQ(window.frame.center(), QPointF(720, 450));
    EXPECT_EQ(window.minimum, QSizeF(960, 270));
}

TEST_F(WindowPlacementTest, TouchscreenGetsFullScreenAndTouchStartsOnlyOnceEntered) {
    screens.plugDesk();
    screens.plugBar();
    placement.place();
    EXPECT_EQ(window.calls, QStringList{"enter HDMI-1"});
    EXPECT_EQ(window.title, "Tablora");
    EXPECT_EQ(displayName, "HDMI-1");
    EXPECT_TRUE(placement.inTransition());
    EXPECT_FALSE(touch.has_value());

    finishEntering();
    EXPECT_EQ(touch, true);
    EXPECT_FALSE(placement.inTransition());
    // Placing again on the same display changes nothing.
    placement.place();
    EXPECT_EQ(window.calls.size(), 1);
}

TEST_F(WindowPlacementTest, PreviewOptionWinsOverAConnectedTouchscreen) {
    screens.plugDesk();
    screens.plugBar();
    placement.setPreview(true);
    placement.place();
    EXPECT_EQ(window.calls, QStringList{"windowed"});
    EXPECT_EQ(touch, false);
    // The preview goes on the first display that is not the touchscreen.
    EXPECT_TRUE(QRectF(0, 32, 1920, 1048).contains(window.frame));
}

TEST_F(WindowPlacementTest, UnpluggingTheTouchscreenLeavesFullScreenThenShowsThePreview) {
    screens.plugDesk();
    screens.plugBar();
    placement.place();
    finishEntering();

    screens.unplug(bar);
    placement.place();
    EXPECT_EQ(window.calls.last(), "exit");
    finishLeaving();
    EXPECT_EQ(window.calls.last(), "windowed");
    EXPECT_EQ(touch, false);
    EXPECT_FALSE(placement.preview()); // plugging it back in returns to full screen
    screens.plugBar();
    placement.place();
    EXPECT_EQ(window.calls.last(), "enter HDMI-1");
}

TEST_F(WindowPlacementTest, APlacementDuringATransitionRunsWhenItEnds) {
    screens.plugDesk();
    screens.plugBar();
    placement.place();
    // The touchscreen goes away while full screen is still being entered.
    screens.unplug(bar);
    placement.place();
    EXPECT_EQ(window.calls, QStringList{"enter HDMI-1"});

    finishEntering();
    EXPECT_EQ(window.calls.last(), "exit");
    finishLeaving();
    EXPECT_EQ(window.calls.last(), "windowed");
}

TEST_F(WindowPlacementTest, LeavingFullScreenByHandMeansPreview) {
    screens.plugBar();
    placement.place();
    finishEntering();
    finishLeaving(); // not asked for by the placement
    EXPECT_TRUE(placement.preview());
    EXPECT_EQ(window.calls.last(), "windowed");
    EXPECT_EQ(touch, false);
    placement.togglePreview();
    EXPECT_EQ(window.calls.last(), "enter HDMI-1");
}

TEST_F(WindowPlacementTest, FailingToEnterFullScreenFallsBackToThePreviewWithAToast) {
    screens.plugDesk();
    screens.plugBar();
    placement.place();
    placement.didFailToEnterFullScreen();
    EXPECT_TRUE(placement.preview());
    EXPECT_EQ(window.calls.last(), "windowed");
    EXPECT_EQ(toasts,
              QStringList{QString::fromUtf8(
                      "Couldn’t enter full screen. Tablora is available in window preview.")});
    EXPECT_FALSE(placement.inTransition());
}

TEST_F(WindowPlacementTest, ChosenDisplayComesFirstAndAStaleChoiceFallsBack) {
    screens.plugDesk();
    screens.plugBar();
    screens.plugSide();
    displayID = side;
    placement.place();
    EXPECT_EQ(window.calls.last(), "enter DP-2");
    finishEntering();
    EXPECT_EQ(touch, false); // full screen, but not on the touchscreen

    displayID = 999;
    placement.place();
    EXPECT_EQ(window.calls.last(), "exit");
    finishLeaving();
    EXPECT_EQ(window.calls.last(), "enter HDMI-1");
    finishEntering();
    EXPECT_EQ(touch, true);
}

TEST_F(WindowPlacementTest, MoveToDisplayEndsThePreviewAndOrientationChangesTheMinimum) {
    screens.plugDesk();
    screens.plugBar();
    placement.setPreview(true);
    placement.place();
    placement.moveToDisplay();
    EXPECT_FALSE(placement.preview());
    EXPECT_EQ(window.calls.last(), "enter HDMI-1");
    finishEntering();

    orientation = LayoutOrientation::vertical;
    placement.place();
    EXPECT_TRUE(window.fullScreen);
    EXPECT_EQ(window.calls.size(), 2); // still full screen on the touchscreen
    // 270 wide; min(960, 0.7 * the main display's visible height).
    EXPECT_EQ(window.minimum, QSizeF(270, 0.7 * 1048));
}

TEST(DisplayNumber, IsAStableHashOfTheOutputName) {
    EXPECT_EQ(displayNumber(""), 2166136261u);
    EXPECT_EQ(displayNumber("a"), 0xe40c292cu);
    EXPECT_NE(displayNumber("DP-1"), displayNumber("DP-2"));
}

} // namespace
