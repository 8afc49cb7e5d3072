// A Qt widget window as a touch surface: which regions it reports, in which order and frames,
// and that it sends them again only when they changed.
#include "touch/views/TouchSurface.h"

#include "support/EventLoop.h"
#include "touch/views/TouchControls.h"
#include "touch/views/TouchFeedbackOverlay.h"
#include "touch/views/WidgetTouchWindows.h"

#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class NoScreens : public ScreenDirectory {
public:
    QList<ScreenInfo> screens() const override { return {}; }
    DisplayModel model(quint32) const override { return {}; }
};

// Direct touch switched on, over Qt widget windows and no screens.
DirectTouchController::Environment environmentWith(const NoScreens& screens) {
    DirectTouchController::Environment environment;
    environment.host.directTouchEnabled = [] { return true; };
    environment.screens = &screens;
    environment.windows = std::make_unique<WidgetTouchWindows>();
    return environment;
}

TEST(TouchSurface, ReportsMarkedControlsInTreeOrderAndOnlyWhenTheyChange) {
    NoScreens screens;
    DirectTouchController touch(environmentWith(screens));

    QWidget window;
    window.resize(600, 400);
    auto* first = new QPushButton("First", &window);
    first->setGeometry(10, 10, 100, 40);
    auto* group = new QWidget(&window);
    group->setGeometry(200, 100, 300, 200);
    auto* inner = new QPushButton("Inner", group);
    inner->setGeometry(20, 30, 80, 40);
    auto* hidden = new QPushButton("Hidden", &window);
    hidden->hide();
    auto* off = new QPushButton("Off", &window);
    off->setGeometry(10, 300, 100, 40);
    off->setEnabled(false);
    int pressed = 0;
    TouchControls::setAction(first, "first", [&] { ++pressed; });
    TouchControls::setAction(inner, "inner", [] {});
    TouchControls::setAction(hidden, "hidden", [] {});
    TouchControls::setAction(off, "off", [] {});
    // An overlapping control reported first wins the tap: outer widgets come before inner ones.
    TouchControls::setAction(group, "group", [] {});

    auto* surface = new TouchSurface(touch, &window, false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    spin(50);
    const QUuid id = surface->id();
    const auto ids = [&] {
        QStringList found;
        for (const TouchRegion& region : touch.contacts().surface(id)->regions)
            found.append(region.id);
        return found;
    };
    EXPECT_EQ(ids(), QStringList({"first", "group", "inner", "off"}));
    const QList<TouchRegion>& regions = touch.contacts().surface(id)->regions;
    EXPECT_EQ(regions[2].frame, QRectF(220, 130, 80, 40));
    EXPECT_FALSE(regions[3].enabled);
    regions[0].action();
    EXPECT_EQ(pressed, 1);
    const int updates = surface->regionUpdates();

    // Repaints and a new action alone send nothing.
    for (int i = 0; i < 5; ++i) {
        window.update();
        first->setText(QString::number(i));
        spin(20);
    }
    TouchControls::setAction(first, "first", [] {});
    spin(50);
    EXPECT_EQ(surface->regionUpdates(), updates);

    // Moving, showing and disabling do.
    group->move(150, 100);
    spin(50);
    EXPECT_EQ(surface->regionUpdates(), updates + 1);
    EXPECT_EQ(touch.contacts().surface(id)->regions[2].frame, QRectF(170, 130, 80, 40));
    hidden->show();
    first->setEnabled(false);
    spin(50);
    EXPECT_EQ(surface->regionUpdates(), updates + 2);
    EXPECT_EQ(ids(), QStringList({"first", "group", "inner", "hidden", "off"}));
    EXPECT_FALSE(touch.contacts().surface(id)->regions[0].enabled);

    // Without feedback for this surface the overlay draws nothing; with it, the pressed frame.
    const auto drawn = [&] {
        QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        surface->overlay()->render(&image);
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                painted += qAlpha(image.pixel(x, y)) > 0;
        return painted;
    };
    EXPECT_EQ(drawn(), 0);
    surface->overlay()->setFeedback(TouchFeedback{id, {50, 30}, QRectF(10, 10, 100, 40), {}, {}});
    EXPECT_GT(drawn(), 100 * 40 / 2);
    surface->overlay()->setFeedback(std::nullopt);
    EXPECT_EQ(drawn(), 0);
    delete surface;
    EXPECT_EQ(touch.contacts().surface(id), nullptr);
}

TEST(TouchSurface, ControlsScrolledOutOfTheirViewTakeNoTouches) {
    NoScreens screens;
    DirectTouchController touch(environmentWith(screens));

    QWidget window;
    window.resize(300, 300);
    auto* above = new QPushButton("Above", &window);
    above->setGeometry(0, 0, 300, 50);
    auto* scroll = new QScrollArea(&window);
    scroll->setGeometry(0, 50, 300, 100);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* list = new QWidget;
    list->resize(300, 400);
    for (int row = 0; row < 10; ++row) {
        auto* button = new QPushButton(QString::number(row), list);
        button->setGeometry(0, row * 40, 300, 40);
        TouchControls::setAction(button, QString("row-%1").arg(row), [] {});
    }
    scroll->setWidget(list);
    auto* surface = new TouchSurface(touch, &window, false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    scroll->verticalScrollBar()->setValue(60);
    spin(50);
    QStringList ids;
    for (const TouchRegion& region : touch.contacts().surface(surface->id())->regions)
        ids.append(region.id +
                   QString(" %1-%2").arg(region.frame.top()).arg(region.frame.bottom()));
    // Row 0 lies over "Above" now: gone. Row 1 shows its lower half only.
    EXPECT_EQ(ids, QStringList({"row-1 50-70", "row-2 70-110", "row-3 110-150"}));
}

} // namespace
