#include "model/WidgetLayout.h"

#include <gtest/gtest.h>

TEST(WidgetLayoutWidths, FlexibleWidgetsShareTheRow) {
    EXPECT_TRUE(WidgetLayout::widths({}, 1892, 14).isEmpty());

    const QList<double> three = WidgetLayout::widths({{}, {}, {}}, 1892, 14);
    ASSERT_EQ(three.size(), 3);
    for (double width : three)
        EXPECT_NEAR(width, 1864.0 / 3, 1e-9);
}

TEST(WidgetLayoutWidths, FlexibleMinimumThenScaledToFit) {
    // The flexible widget first gets 220, then both are scaled to fill 1878.
    const QList<double> widths = WidgetLayout::widths({1800.0, std::nullopt}, 1892, 14);
    ASSERT_EQ(widths.size(), 2);
    EXPECT_NEAR(widths[0], 1878.0 * 1800 / 2020, 1e-9);
    EXPECT_NEAR(widths[1], 1878.0 * 220 / 2020, 1e-9);
    EXPECT_NEAR(widths[0] + widths[1], 1878, 1e-9);

    // Preferred widths alone are scaled to the usable width.
    const QList<double> fixed = WidgetLayout::widths({100.0, 300.0}, 414, 14);
    EXPECT_NEAR(fixed[0], 100, 1e-9);
    EXPECT_NEAR(fixed[1], 300, 1e-9);
}

TEST(WidgetLayoutWidths, DegenerateInputs) {
    // More spacing than width leaves nothing usable.
    for (double width : WidgetLayout::widths({{}, {}}, 10, 50))
        EXPECT_EQ(width, 0);
    // Zero preferred widths share the row equally.
    const QList<double> zeros = WidgetLayout::widths({0.0, 0.0}, 114, 14);
    EXPECT_EQ(zeros, QList<double>({50, 50}));
}
