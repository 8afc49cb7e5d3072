#include "touch/ScreenMapping.h"

#include "touch/ScreenDirectory.h"

#include <QMap>
#include <gtest/gtest.h>
#include <limits>

namespace {

const QRectF edge(0, 0, 2560, 720);

void expectPoint(QPointF actual, double x, double y) {
    EXPECT_DOUBLE_EQ(actual.x(), x);
    EXPECT_DOUBLE_EQ(actual.y(), y);
}

class FakeScreens : public ScreenDirectory {
public:
    QList<ScreenInfo> list;
    QMap<quint32, DisplayModel> models;
    mutable QList<quint32> asked;

    QList<ScreenInfo> screens() const override { return list; }
    DisplayModel model(quint32 display) const override {
        asked.append(display);
        return models.value(display);
    }
};

} // namespace

TEST(TouchScreenPoint, CornersAndCentreWithoutRotation) {
    expectPoint(touchScreenPoint({0, 0}, edge, 0), 0, 0);
    expectPoint(touchScreenPoint({1, 1}, edge, 0), 2559, 719);
    expectPoint(touchScreenPoint({0.5, 0.5}, edge, 0), 1279.5, 359.5);
    // The frame's origin moves every point with it.
    expectPoint(touchScreenPoint({1, 0}, QRectF(1920, 1080, 2560, 720), 0), 4479, 1080);
}

TEST(TouchScreenPoint, Rotations) {
    expectPoint(touchScreenPoint({0, 0}, edge, 90), 2559, 0);
    expectPoint(touchScreenPoint({0, 0}, edge, 450), 2559, 0);
    expectPoint(touchScreenPoint({0, 0}, edge, 89.6), 2559, 0);
    expectPoint(touchScreenPoint({0, 0}, edge, -90), 0, 0);
    expectPoint(touchScreenPoint({0.25, 0}, edge, 180), 2559 * 0.75, 719);
    expectPoint(touchScreenPoint({0, 0.25}, edge, 270), 2559 * 0.25, 719);
    expectPoint(touchScreenPoint({0.2, 0.3}, edge, 45), 2559 * 0.2, 719 * 0.3);
}

TEST(TouchScreenPoint, ClampsToTheFrame) {
    expectPoint(touchScreenPoint({-0.01, 1.02}, edge, 0), 0, 719);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    expectPoint(touchScreenPoint({nan, nan}, edge, 0), 0, 0);
    // Frames narrower than a pixel collapse onto their first pixel.
    expectPoint(touchScreenPoint({0.7, 0.7}, QRectF(10, 20, 0, 0.5), 0), 10, 20);
}

TEST(Touchscreen, FirstScreenWhoseDisplayIsTheTouchscreen) {
    FakeScreens screens;
    screens.list = {{"DP-1", QRectF(0, 0, 1920, 1080), 11u, 0, {}},
                    {"HDMI-1", QRectF(1920, 0, 2560, 720), 22u, 0, {}},
                    {"HDMI-2", QRectF(1920, 720, 2560, 720), 33u, 0, {}}};
    screens.models = {{11u, {0x10AC, 0x4321}}, {22u, touchscreenModel}, {33u, touchscreenModel}};
    ASSERT_TRUE(findTouchscreen(screens));
    EXPECT_EQ(findTouchscreen(screens)->name, "HDMI-1");

    screens.models.remove(22u);
    EXPECT_EQ(findTouchscreen(screens)->name, "HDMI-2");

    // The vendor alone is not enough.
    screens.models[33u] = {0x0E58, 0x0001};
    EXPECT_FALSE(findTouchscreen(screens));
}

TEST(Touchscreen, ScreenWithoutDisplayNumberIsLookedUpAsZero) {
    FakeScreens screens;
    screens.list = {{"screen", QRectF(0, 0, 800, 600), std::nullopt, 0, {}}};
    EXPECT_FALSE(findTouchscreen(screens));
    EXPECT_EQ(screens.asked, QList<quint32>({0u}));
    screens.list.clear();
    EXPECT_FALSE(findTouchscreen(screens));
}

TEST(SurfacePoint, GlobalToViewCoordinates) {
    expectPoint(surfacePoint({300, 200}, SurfaceGeometry{}), 0, 0);
    const SurfaceGeometry view{QPointF(100, 50), QPointF(10, 20)};
    expectPoint(surfacePoint({300, 200}, view), 190, 130);
    expectPoint(surfacePoint({100, 50}, view), -10, -20);
}
