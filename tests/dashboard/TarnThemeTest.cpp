#include "dashboard/TarnTheme.h"

#include <gtest/gtest.h>

TEST(TarnTheme, HexOfColours) {
    EXPECT_EQ(TarnTheme::hex(QColor::fromRgbF(1, 0, 0)), "#ff0000");
    EXPECT_EQ(TarnTheme::hex(TarnTheme::background()), "#0c0e0f");
    // Components beyond the unit range are clamped.
    EXPECT_EQ(TarnTheme::hex(QColor::fromRgbF(1.02f, 0.5f, -0.1f)), "#ff8000");
    // Other colour models convert first.
    EXPECT_EQ(TarnTheme::hex(QColor::fromHsv(120, 255, 255)), "#00ff00");
    EXPECT_EQ(TarnTheme::hex(QColor()), std::nullopt);
}

TEST(TarnTheme, ColourFromText) {
    EXPECT_EQ(TarnTheme::color("#adebbf"), QColor(0xad, 0xeb, 0xbf));
    EXPECT_EQ(TarnTheme::color("#FFC26E"), QColor(0xff, 0xc2, 0x6e));
    for (const char* text : {"#000000", "#ffffff", "#0c0e0f", "#99c9ff"})
        EXPECT_EQ(TarnTheme::hex(TarnTheme::color(text)), text);
}
