#include "app/DashboardWindow.h"

#include "dashboard/TarnTheme.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

TEST(DashboardWindow, PreviewIsAResizableWindowFilledWithTheBackground) {
    DashboardWindow window;
    window.showPreview();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Tablora — Preview"));
    EXPECT_EQ(window.size(), QSize(1440, 405));
    EXPECT_FALSE(window.isFullScreen());
    EXPECT_NE(window.minimumSize(), window.maximumSize());

    const QImage image = window.grab().toImage();
    const QRgb background = TarnTheme::background().rgb();
    EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 2), background);
    EXPECT_EQ(image.pixel(2, 2), background);
    EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1), background);
}

TEST(DashboardWindow, ControlQQuitsTheApplication) {
    DashboardWindow window;
    window.showPreview();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTimer::singleShot(0, &window,
                       [&window] { QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier); });
    // If the shortcut does nothing, leave the loop with a failure code instead of hanging.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(1); });
    watchdog.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
}
