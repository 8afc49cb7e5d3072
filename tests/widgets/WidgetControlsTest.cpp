#include "packages/WidgetControls.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

QJsonObject item(double id, double x = 10, double y = 20, double width = 30, double height = 40) {
    return {{"id", id}, {"x", x}, {"y", y}, {"width", width}, {"height", height}};
}

TEST(WidgetControls, ListsBeyondOneHundredOrWithNonObjectsAreIgnoredWhole) {
    QJsonArray items;
    for (int i = 0; i < 100; ++i)
        items.append(item(i));
    EXPECT_EQ(WidgetControls::fromItems(items)->size(), 100);
    items.append(item(100));
    EXPECT_FALSE(WidgetControls::fromItems(items).has_value());

    EXPECT_FALSE(WidgetControls::fromItems(QJsonArray{item(1), 7}).has_value());
    EXPECT_FALSE(WidgetControls::fromItems(QJsonObject{}).has_value());
    EXPECT_FALSE(WidgetControls::fromItems(QJsonValue()).has_value());
    // An empty list clears the controls.
    EXPECT_EQ(WidgetControls::fromItems(QJsonArray{}), QList<WidgetControl>{});
}

TEST(WidgetControls, InvalidItemsAreDroppedAndTheRestKeepTheirOrder) {
    QJsonObject disabled = item(3);
    disabled["enabled"] = false;
    QJsonObject oddEnabled = item(4);
    oddEnabled["enabled"] = "no"; // not a boolean: enabled
    QJsonObject noID = item(0);
    noID.remove("id");
    QJsonObject textX = item(9);
    textX["x"] = "10";
    const QJsonArray items{item(1, 0, 0, 0, 10),      // width 0
                           item(2, 0, 0, 10, -1),     // negative height
                           item(5, 10000, 0, 10, 10), // coordinate of 10,000
                           item(6, -9999.5, 0, 10, 10),
                           item(7.5), // not an integer id
                           noID,
                           textX,
                           disabled,
                           oddEnabled};
    const auto controls = WidgetControls::fromItems(items);
    ASSERT_TRUE(controls.has_value());
    ASSERT_EQ(controls->size(), 3);
    EXPECT_EQ((*controls)[0], (WidgetControl{6, QRectF(-9999.5, 0, 10, 10), true}));
    EXPECT_EQ((*controls)[1], (WidgetControl{3, QRectF(10, 20, 30, 40), false}));
    EXPECT_EQ((*controls)[2], (WidgetControl{4, QRectF(10, 20, 30, 40), true}));
}

TEST(WidgetControls, RegionIdentifiersNameTheInstanceAndTheControl) {
    EXPECT_EQ(WidgetControls::regionID("timer@A", 12), "web-timer@A-12");
    EXPECT_NE(WidgetControls::regionID("timer@A", 1), WidgetControls::regionID("timer@B", 1));
}

} // namespace
