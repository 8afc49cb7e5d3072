// Qt's own screens identified through a fake tree of the kernel's DRM connectors, as on a Wayland
// session: the offscreen platform's one screen, unnamed and without a model, stands for the
// outputs of a compositor that gives neither.
#include "desktop/linux/DrmScreenDirectory.h"
#include "support/TestFiles.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray edid(quint16 vendor, quint16 product, QSize preferred) {
    QByteArray bytes(128, '\0');
    bytes.replace(0, 8, QByteArray("\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00", 8));
    bytes[8] = char(vendor >> 8);
    bytes[9] = char(vendor & 0xFF);
    bytes[10] = char(product & 0xFF);
    bytes[11] = char(product >> 8);
    bytes[54] = 0x01;
    bytes[56] = char(preferred.width() & 0xFF);
    bytes[58] = char((preferred.width() >> 8) << 4);
    bytes[59] = char(preferred.height() & 0xFF);
    bytes[61] = char((preferred.height() >> 8) << 4);
    bytes[75] = char(0xFC); // the monitor's name
    bytes.replace(77, 13, "XENEON EDGE\n ");
    return bytes;
}

TEST(ScreenIdentity, TheTouchscreenIsFoundThroughTheKernelsConnectors) {
    const QSize size = QGuiApplication::primaryScreen()->geometry().size();
    QTemporaryDir sysfs;
    writeFile(sysfs.filePath("class/drm/card0-DP-2/status"), "connected\n");
    writeFile(sysfs.filePath("class/drm/card0-DP-2/edid"), edid(0x0E58, 0xED00, size));

    DrmScreenDirectory screens(sysfs.path());
    const auto touchscreen = findTouchscreen(screens);
    ASSERT_TRUE(touchscreen.has_value());
    EXPECT_EQ(touchscreen->frame, QRectF(QGuiApplication::primaryScreen()->geometry()));
    ASSERT_EQ(screens.report().size(), 1);
    EXPECT_TRUE(screens.report().first().contains("0E58:ED00 from the kernel's connector "
                                                  "card0-DP-2"))
            << screens.report().first().toStdString();
    EXPECT_EQ(touchscreen->monitorName, "XENEON EDGE");

    // Another monitor on that connector now: the next look finds no touchscreen.
    writeFile(sysfs.filePath("class/drm/card0-DP-2/edid"), edid(0x10AC, 0x4123, size));
    screens.refresh();
    EXPECT_FALSE(findTouchscreen(screens).has_value());
    EXPECT_TRUE(screens.report().first().contains("10AC:4123"));
}

} // namespace
