// Dropping text onto a widget tile and moving widgets along the page.
#include "dashboard/WidgetDrops.h"

#include "support/PackageBuilder.h"
#include "support/StoreFixture.h"

namespace {

struct WidgetDropsTest : StoreFixture {
    WidgetKind a = *WidgetKind::named("alpha");
    WidgetKind b = *WidgetKind::named("beta");
    WidgetKind c = *WidgetKind::named("gamma");

    TarnStore& openWithRow() {
        TarnStore& opened = open();
        opened.setLayout(PageLayout::row({a, b, c}, {}), opened.preferences().board);
        return opened;
    }
    QList<WidgetKind> page() const {
        return store->preferences().widgets(store->preferences().board);
    }
};

TEST_F(WidgetDropsTest, AWidgetDroppedOnAnotherSwapsThem) {
    openWithRow();
    EXPECT_EQ(WidgetDrops::dragText(a), "tarn-widget:alpha");
    EXPECT_TRUE(WidgetDrops::drop("tarn-widget:alpha", c, *store));
    EXPECT_EQ(page(), (QList<WidgetKind>{c, b, a}));
    // Onto itself: nothing changes.
    WidgetDrops::drop("tarn-widget:beta", b, *store);
    EXPECT_EQ(page(), (QList<WidgetKind>{c, b, a}));
    // Anything else is ignored.
    EXPECT_FALSE(WidgetDrops::drop("tarn-widget:", b, *store));
    EXPECT_FALSE(WidgetDrops::drop("beta", a, *store));
    EXPECT_FALSE(WidgetDrops::drop("", a, *store));
    EXPECT_EQ(page(), (QList<WidgetKind>{c, b, a}));
}

TEST_F(WidgetDropsTest, ADroppedPackageTakesTheTargetsSectionOnlyWhenInstalled) {
    PackageBuilder(QDir(directory()).filePath("Widgets")).write("clock.tarnwidget");
    openWithRow();
    EXPECT_FALSE(WidgetDrops::drop("tarn-package:com.example.missing", b, *store));
    EXPECT_EQ(page(), (QList<WidgetKind>{a, b, c}));

    EXPECT_TRUE(WidgetDrops::drop("tarn-package:com.example.clock", b, *store));
    const QList<WidgetKind> widgets = page();
    ASSERT_EQ(widgets.size(), 3);
    EXPECT_EQ(widgets[0], a);
    EXPECT_EQ(widgets[1].packageID(), "com.example.clock");
    EXPECT_NE(widgets[1].rawValue(), "com.example.clock"); // an instance of its own
    EXPECT_EQ(widgets[2], c);
}

TEST_F(WidgetDropsTest, MovingSwapsWithTheNeighbourAndStopsAtTheEnds) {
    openWithRow();
    EXPECT_FALSE(WidgetDrops::move(a, -1, *store));
    EXPECT_FALSE(WidgetDrops::move(c, 1, *store));
    EXPECT_EQ(page(), (QList<WidgetKind>{a, b, c}));
    EXPECT_TRUE(WidgetDrops::move(a, 1, *store));
    EXPECT_EQ(page(), (QList<WidgetKind>{b, a, c}));
    EXPECT_TRUE(WidgetDrops::move(c, -1, *store));
    EXPECT_EQ(page(), (QList<WidgetKind>{b, c, a}));
    EXPECT_FALSE(WidgetDrops::move(*WidgetKind::named("absent"), 1, *store));
}

} // namespace
