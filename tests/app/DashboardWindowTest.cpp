#include "app/DashboardWindow.h"

#include "app/WindowExposure.h"
#include "dashboard/TarnTheme.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(DashboardWindow, WindowedIsAResizableWindowFilledWithTheBackground) {
    DashboardWindow window;
    window.showWindowed(QString::fromUtf8("Tablora — Preview"), QRectF(100, 100, 1440, 405));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Tablora — Preview"));
    EXPECT_EQ(window.width(), 1440);
    EXPECT_FALSE(window.isFullScreen());
    EXPECT_NE(window.minimumSize(), window.maximumSize());

    const QImage image = window.grab().toImage();
    const QRgb background = TarnTheme::background().rgb();
    EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 2), background);
    EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1), background);
}

TEST(DashboardWindow, FullScreenChangesAreReportedAfterwardsAndClosingIsARequest) {
    DashboardWindow window;
    QSignalSpy entered(&window, &DashboardWindow::fullScreenEntered);
    QSignalSpy left(&window, &DashboardWindow::fullScreenLeft);
    QSignalSpy closing(&window, &DashboardWindow::closeRequested);
    window.enterFullScreen("Tablora", ScreenInfo{"screen", QRectF(0, 0, 800, 600), 1, 0, {}});
    EXPECT_EQ(entered.count(), 0); // never inside the call that started it
    EXPECT_TRUE(waitUntil([&] { return entered.count() == 1; }));
    EXPECT_TRUE(window.isFullScreen());
    window.exitFullScreen();
    EXPECT_TRUE(waitUntil([&] { return left.count() == 1; }));

    EXPECT_FALSE(window.close());
    EXPECT_EQ(closing.count(), 1);
}

TEST(WindowExposureTest, AHiddenOrMinimisedWindowHidesTheDashboard) {
    DashboardWindow window;
    window.showWindowed("Tablora", QRectF(100, 100, 960, 270));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    WindowExposure exposure(window.windowHandle());
    EXPECT_FALSE(exposure.hides());
    window.showMinimized();
    EXPECT_TRUE(waitUntil([&] { return exposure.hides(); }));
    window.showNormal();
    EXPECT_TRUE(waitUntil([&] { return !exposure.hides(); }));
    window.hide();
    EXPECT_TRUE(waitUntil([&] { return exposure.hides(); }));
    window.show();
    EXPECT_TRUE(waitUntil([&] { return !exposure.hides(); }));
}
