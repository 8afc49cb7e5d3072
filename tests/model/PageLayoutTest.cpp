#include "model/PageLayout.h"

#include "model/JsonCoding.h"

#include <QJsonDocument>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using Axis = PageLayout::ResizeAxis;
constexpr auto horizontal = LayoutOrientation::horizontal;
constexpr auto vertical = LayoutOrientation::vertical;

WidgetKind kind(const QString& raw) {
    return *WidgetKind::named(raw);
}

WidgetSection section(const QString& id, double x, double y, double width, double height,
                      const QString& widget = {}) {
    WidgetSection s{id, std::nullopt, x, y, width, height};
    if (!widget.isEmpty())
        s.widget = kind(widget);
    return s;
}

PageLayout layoutOf(QList<WidgetSection> sections) {
    PageLayout layout;
    layout.sections = std::move(sections);
    return layout;
}

QStringList widgetTexts(const PageLayout& layout) {
    QStringList list;
    for (const auto& s : layout.sections)
        list.append(s.widget ? s.widget->rawValue() : QString("-"));
    return list;
}

QStringList ids(const QList<WidgetSection>& sections) {
    QStringList list;
    for (const auto& s : sections)
        list.append(s.id);
    return list;
}

// Five columns of three rows: 15 non-overlapping sections of the smallest height.
PageLayout grid(int count) {
    PageLayout layout;
    for (int i = 0; i < count; ++i)
        layout.sections.append(
                section(QString::number(i), (i % 5) * 0.2, (i / 5) / 3.0, 0.2, 1.0 / 3.0));
    return layout;
}

void expectRange(const std::optional<ClosedRange>& range, double lower, double upper) {
    ASSERT_TRUE(range);
    EXPECT_NEAR(range->lower, lower, 1e-12);
    EXPECT_NEAR(range->upper, upper, 1e-12);
}

PageLayout twoColumns() {
    return layoutOf({section("L", 0, 0, 0.5, 1, "a"), section("R", 0.5, 0, 0.5, 1, "b")});
}

} // namespace

TEST(PageLayoutValidity, SectionCountIdsAndWidgets) {
    EXPECT_FALSE(PageLayout().isValid());
    EXPECT_TRUE(grid(12).isValid());
    EXPECT_FALSE(grid(13).isValid());

    PageLayout sameID = grid(2);
    sameID.sections[1].id = sameID.sections[0].id;
    EXPECT_FALSE(sameID.isValid());

    PageLayout sameWidget = grid(3);
    sameWidget.sections[0].widget = kind("notes");
    sameWidget.sections[2].widget = kind("notes");
    EXPECT_FALSE(sameWidget.isValid());
    sameWidget.sections[2].widget = kind("notes@2");
    EXPECT_TRUE(sameWidget.isValid());
}

TEST(PageLayoutValidity, SizesAndPageBounds) {
    EXPECT_TRUE(layoutOf({section("a", 0, 0, 1, 0.3333333)}).isValid());
    EXPECT_FALSE(layoutOf({section("a", 0, 0, 1, 0.333)}).isValid());
    EXPECT_TRUE(layoutOf({section("a", 0, 0, 0.099999, 1)}).isValid());
    EXPECT_FALSE(layoutOf({section("a", 0, 0, 0.0999, 1)}).isValid());
    EXPECT_TRUE(layoutOf({section("a", 0.5, 0, 0.500005, 1)}).isValid());
    EXPECT_FALSE(layoutOf({section("a", 0.5, 0, 0.50002, 1)}).isValid());
    EXPECT_FALSE(layoutOf({section("a", -0.01, 0, 0.5, 1)}).isValid());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(layoutOf({section("a", nan, 0, 0.5, 1)}).isValid());
    EXPECT_FALSE(layoutOf({section("a", 0, 0, inf, 1)}).isValid());
    // Gaps are allowed.
    EXPECT_TRUE(
            layoutOf({section("a", 0, 0, 0.2, 0.5), section("b", 0.6, 0.5, 0.2, 0.5)}).isValid());
}

TEST(PageLayoutValidity, TouchingIsFineOverlappingIsNot) {
    EXPECT_TRUE(twoColumns().isValid());
    EXPECT_FALSE(
            layoutOf({section("a", 0, 0, 0.50002, 1), section("b", 0.5, 0, 0.5, 1)}).isValid());
    // Within the tolerance counts as touching.
    EXPECT_TRUE(
            layoutOf({section("a", 0, 0, 0.500005, 1), section("b", 0.5, 0, 0.5, 1)}).isValid());
    // A later section inside an earlier one.
    EXPECT_FALSE(layoutOf({section("a", 0, 0, 1, 1), section("b", 0.2, 0.2, 0.2, 0.4)}).isValid());
}

TEST(PageLayoutOrientation, VerticalTransposesAndIsItsOwnInverse) {
    const PageLayout layout = PageLayout::example(Board::focus);
    EXPECT_EQ(layout.oriented(horizontal), layout);
    const PageLayout turned = layout.oriented(vertical);
    EXPECT_EQ(turned.sections[2].x, layout.sections[2].y);
    EXPECT_EQ(turned.sections[2].width, layout.sections[2].height);
    EXPECT_EQ(turned.sections[2].id, layout.sections[2].id);
    EXPECT_EQ(turned.oriented(vertical), layout);
}

TEST(PageLayoutBuilding, Presets) {
    QStringList labels;
    for (auto preset : allPresets) {
        labels.append(rawValue(preset));
        EXPECT_TRUE(PageLayout::preset(preset, {}).isValid()) << rawValue(preset).toStdString();
    }
    EXPECT_EQ(labels, QStringList({"One", "Two", "Three", "Four", "Six", "Featured"}));

    const PageLayout six = PageLayout::preset(PageLayout::Preset::six,
                                              {kind("a"), kind("b"), kind("c"), kind("d")});
    EXPECT_EQ(widgetTexts(six), QStringList({"a", "b", "c", "d", "-", "-"}));
    // Row by row: the fourth section starts the bottom row.
    EXPECT_EQ(six.sections[3].x, 0);
    EXPECT_EQ(six.sections[3].y, 0.5);
    EXPECT_NE(six.sections[0].id, six.sections[1].id);

    const PageLayout featured = PageLayout::preset(PageLayout::Preset::featured, {});
    EXPECT_EQ(featured.sections[2], section(featured.sections[2].id, 0.5, 0.5, 0.5, 0.5));
}

TEST(PageLayoutBuilding, ExamplesHaveFixedIdsAndInstanceNames) {
    const PageLayout overview = PageLayout::example(Board::overview);
    EXPECT_EQ(ids(overview.sections),
              QStringList({"example-v2-1-0", "example-v2-1-1", "example-v2-1-2", "example-v2-1-3",
                           "example-v2-1-4"}));
    EXPECT_EQ(widgetTexts(overview),
              QStringList({"cpu@example-v2-1-0", "gpu@example-v2-1-1", "memory@example-v2-1-2",
                           "disk@example-v2-1-3", "network@example-v2-1-4"}));

    const PageLayout focus = PageLayout::example(Board::focus);
    ASSERT_EQ(focus.sections.size(), 8);
    EXPECT_EQ(focus.sections[2].widget->rawValue(), "shortcuts@example-v2-2-2");
    EXPECT_EQ(focus.sections[3],
              section("example-v2-2-3", 0.8, 0, 0.2, 1.0 / 3, "shortcuts@example-v2-2-3"));
    EXPECT_EQ(focus.sections[7].y, 2.0 / 3);

    EXPECT_EQ(widgetTexts(PageLayout::example(Board::system)),
              QStringList({"spotify-artwork@example-v2-3-0", "spotify-controls@example-v2-3-1"}));

    const PageLayout page4 = PageLayout::example(Board::page4);
    ASSERT_EQ(page4.sections.size(), 1);
    EXPECT_EQ(page4.sections[0], section(page4.sections[0].id, 0, 0, 1, 1));
    EXPECT_NE(page4.sections[0].id, PageLayout::example(Board::page4).sections[0].id);

    for (Board board : allBoards)
        EXPECT_TRUE(PageLayout::example(board).isValid()) << rawValue(board).toStdString();
}

TEST(PageLayoutBuilding, RowFromAFlatList) {
    const PageLayout empty = PageLayout::row({}, {});
    EXPECT_EQ(empty, layoutOf({section("empty", 0, 0, 1, 1)}));

    const PageLayout row = PageLayout::row({kind("a"), kind("b")}, {500, 1000});
    ASSERT_EQ(row.sections.size(), 2);
    EXPECT_EQ(row.sections[0].id, "legacy-a");
    EXPECT_DOUBLE_EQ(row.sections[0].width, 1.0 / 3);
    EXPECT_DOUBLE_EQ(row.sections[1].x, 1.0 / 3);
    EXPECT_DOUBLE_EQ(row.sections[1].width, 2.0 / 3);
    EXPECT_TRUE(row.isValid());

    const PageLayout unsized =
            PageLayout::row({kind("a"), kind("b"), kind("c"), kind("d")}, {0, 0, 0, 0});
    EXPECT_DOUBLE_EQ(unsized.sections[3].x, 0.75);
    EXPECT_DOUBLE_EQ(unsized.sections[3].width, 0.25);
}

TEST(PageLayoutJson, RoundTripAndMalformedSections) {
    PageLayout layout = PageLayout::example(Board::focus);
    layout.sections[1].widget.reset();
    const QJsonObject json = layout.toJson();
    EXPECT_FALSE(json["sections"].toArray()[1].toObject().contains("widget"));
    EXPECT_EQ(PageLayout::fromJson(json, "layout"), layout);

    const auto decode = [](const char* text) {
        return PageLayout::fromJson(QJsonDocument::fromJson(text).object(), "layout");
    };
    EXPECT_THROW(decode(R"({})"), DecodingError);
    EXPECT_THROW(decode(R"({"sections": [{"id": "a", "x": 0, "y": 0, "width": 1}]})"),
                 DecodingError);
    EXPECT_THROW(decode(R"({"sections": [{"id": 1, "x": 0, "y": 0, "width": 1, "height": 1}]})"),
                 DecodingError);
    EXPECT_THROW(decode(R"({"sections": [{"id": "a", "widget": "", "x": 0, "y": 0, "width": 1,
                                          "height": 1}]})"),
                 DecodingError);
    EXPECT_THROW(decode(R"({"sections": ["a"]})"), DecodingError);
}

TEST(PageLayoutEditing, PlaceExchangesOrReplaces) {
    PageLayout layout =
            PageLayout::preset(PageLayout::Preset::three, {kind("a"), kind("b"), kind("c")});
    const QString first = layout.sections[0].id;
    const QString third = layout.sections[2].id;

    layout.place(kind("a"), third);
    EXPECT_EQ(widgetTexts(layout), QStringList({"c", "b", "a"}));

    layout.place(kind("new"), first);
    EXPECT_EQ(widgetTexts(layout), QStringList({"new", "b", "a"}));

    layout.clear(first);
    layout.place(kind("b"), first);
    EXPECT_EQ(widgetTexts(layout), QStringList({"b", "-", "a"}));

    layout.place(kind("b"), first);
    EXPECT_EQ(widgetTexts(layout), QStringList({"b", "-", "a"}));

    const PageLayout before = layout;
    layout.place(kind("x"), "unknown");
    layout.clear("unknown");
    EXPECT_EQ(layout, before);
}

TEST(PageLayoutEditing, EmptyTarget) {
    PageLayout layout = PageLayout::preset(PageLayout::Preset::three, {kind("a")});
    const QString a = layout.sections[0].id;
    const QString second = layout.sections[1].id;
    EXPECT_EQ(layout.emptyTarget(std::nullopt), second);
    EXPECT_EQ(layout.emptyTarget(layout.sections[2].id), layout.sections[2].id);
    EXPECT_EQ(layout.emptyTarget(a), std::nullopt);
    EXPECT_EQ(layout.emptyTarget(QString("unknown")), std::nullopt);
    layout = PageLayout::preset(PageLayout::Preset::single, {kind("a")});
    EXPECT_EQ(layout.emptyTarget(std::nullopt), std::nullopt);
}

TEST(PageLayoutEditing, AlignedGroupMustTileThePage) {
    const PageLayout featured = PageLayout::preset(PageLayout::Preset::featured, {});
    const QString left = featured.sections[0].id;
    const QString top = featured.sections[1].id;
    const QString bottom = featured.sections[2].id;
    EXPECT_EQ(ids(featured.alignedGroup(bottom, true)), QStringList({top, bottom}));
    EXPECT_EQ(ids(featured.alignedGroup(left, true)), QStringList({left}));
    // The left section's row does not reach across the page.
    EXPECT_TRUE(featured.alignedGroup(left, false).isEmpty());
    EXPECT_TRUE(featured.alignedGroup("unknown", true).isEmpty());

    const PageLayout gap = layoutOf({section("a", 0, 0, 0.5, 0.4), section("b", 0, 0.5, 0.5, 0.5)});
    EXPECT_TRUE(gap.alignedGroup("a", true).isEmpty());
}

TEST(PageLayoutEditing, StackingAColumn) {
    PageLayout layout =
            PageLayout::preset(PageLayout::Preset::featured, {kind("a"), kind("b"), kind("c")});
    const QString top = layout.sections[1].id;
    EXPECT_FALSE(layout.canStack(top, 1, horizontal));
    EXPECT_TRUE(layout.canStack(top, 3, horizontal));
    EXPECT_FALSE(layout.canStack(top, 4, horizontal));
    EXPECT_TRUE(layout.canStack(top, 10, vertical));
    EXPECT_FALSE(layout.canStack(top, 11, vertical));
    EXPECT_FALSE(layout.canStack("unknown", 3, horizontal));

    layout.stack(top, 3, horizontal);
    EXPECT_EQ(widgetTexts(layout), QStringList({"a", "b", "c", "-"}));
    EXPECT_EQ(layout.sections[1].id, top);
    EXPECT_DOUBLE_EQ(layout.sections[3].y, 2.0 / 3);
    EXPECT_DOUBLE_EQ(layout.sections[3].height, 1.0 / 3);
    EXPECT_EQ(layout.sections[3].x, 0.5);
    EXPECT_TRUE(layout.isValid());

    const PageLayout before = layout;
    layout.stack(top, 3, horizontal); // already three
    layout.stack(top, 2, horizontal); // columns never lose sections
    EXPECT_EQ(layout, before);

    // The page limit of twelve sections.
    PageLayout full = grid(12);
    full.sections.removeLast();
    full.sections.removeLast(); // ten sections: two columns of three, then four
    EXPECT_FALSE(full.canStack("0", 10, vertical));
}

TEST(PageLayoutEditing, Splitting) {
    PageLayout layout = PageLayout::preset(PageLayout::Preset::single, {kind("a")});
    const QString id = layout.sections[0].id;
    layout.split(id, true, 3, horizontal);
    ASSERT_EQ(layout.sections.size(), 3);
    EXPECT_EQ(layout.sections[0].id, id);
    EXPECT_EQ(widgetTexts(layout), QStringList({"a", "-", "-"}));
    EXPECT_DOUBLE_EQ(layout.sections[2].y, 2.0 / 3);
    EXPECT_DOUBLE_EQ(layout.sections[2].height, 1.0 / 3);
    EXPECT_TRUE(layout.isValid());

    // Half-height pieces are below the minimum height.
    PageLayout half = PageLayout::preset(PageLayout::Preset::six, {});
    const PageLayout sixBefore = half;
    half.split(half.sections[0].id, true, 2, horizontal);
    EXPECT_EQ(half, sixBefore);
    // Side by side: a third of the page splits into thirds (1/9 of the page is wide enough)...
    half.split(half.sections[0].id, false, 4, horizontal);
    EXPECT_EQ(half, sixBefore);
    half.split(half.sections[0].id, false, 3, horizontal);
    EXPECT_EQ(half.sections.size(), 8);
    EXPECT_TRUE(half.isValid());
    // ...but a ninth does not split again.
    const PageLayout ninths = half;
    half.split(half.sections[0].id, false, 2, horizontal);
    EXPECT_EQ(half, ninths);

    // On a vertical display, stacking divides what is the stored frame's width.
    PageLayout shown = PageLayout::preset(PageLayout::Preset::single, {}).oriented(vertical);
    shown.split(shown.sections[0].id, true, 3, vertical);
    EXPECT_EQ(shown.sections.size(), 3);
    EXPECT_TRUE(shown.oriented(vertical).isValid());

    PageLayout crowded = grid(11);
    crowded.split("0", true, 3, vertical);
    EXPECT_EQ(crowded.sections.size(), 11);
    crowded.split("0", true, 2, vertical);
    EXPECT_EQ(crowded.sections.size(), 12);
}

TEST(PageLayoutResizing, MovesTheSharedEdgeWithinTheMinimums) {
    PageLayout layout = twoColumns();
    expectRange(layout.resizeRange("L", Axis::width, horizontal), 0.1, 0.9);
    // The right section's far edge is the page border, so its near edge moves.
    expectRange(layout.resizeRange("R", Axis::width, horizontal), 0.1, 0.9);

    layout.resize("L", Axis::width, 0.95, horizontal);
    EXPECT_DOUBLE_EQ(layout.sections[0].width, 0.9);
    EXPECT_DOUBLE_EQ(layout.sections[1].x, 0.9);
    EXPECT_NEAR(layout.sections[1].width, 0.1, 1e-12);
    EXPECT_TRUE(layout.isValid());

    layout = twoColumns();
    layout.resize("R", Axis::width, 0.3, horizontal);
    EXPECT_DOUBLE_EQ(layout.sections[0].width, 0.7);
    EXPECT_DOUBLE_EQ(layout.sections[1].x, 0.7);
    EXPECT_NEAR(layout.sections[1].width, 0.3, 1e-12);
}

TEST(PageLayoutResizing, NothingToMove) {
    PageLayout single = PageLayout::preset(PageLayout::Preset::single, {});
    EXPECT_FALSE(single.resizeRange(single.sections[0].id, Axis::width, horizontal));
    EXPECT_FALSE(single.resizeRange(single.sections[0].id, Axis::height, horizontal));
    const PageLayout before = single;
    single.resize(single.sections[0].id, Axis::width, 0.5, horizontal);
    EXPECT_EQ(single, before);

    PageLayout layout = twoColumns();
    EXPECT_FALSE(layout.resizeRange("L", Axis::height, horizontal));
    EXPECT_FALSE(layout.resizeRange("unknown", Axis::width, horizontal));
    const PageLayout two = layout;
    layout.resize("L", Axis::width, std::numeric_limits<double>::quiet_NaN(), horizontal);
    layout.resize("L", Axis::width, std::numeric_limits<double>::infinity(), horizontal);
    layout.resize("unknown", Axis::width, 0.3, horizontal);
    EXPECT_EQ(layout, two);
}

TEST(PageLayoutResizing, TheEdgeMustBeOneCleanLine) {
    // The left section's edge is shared by two stacked sections: one clean line.
    PageLayout clean = layoutOf({section("A", 0, 0, 0.5, 1), section("B", 0.5, 0, 0.5, 0.5),
                                 section("C", 0.5, 0.5, 0.5, 0.5)});
    expectRange(clean.resizeRange("A", Axis::width, horizontal), 0.1, 0.9);
    clean.resize("A", Axis::width, 0.6, horizontal);
    EXPECT_DOUBLE_EQ(clean.sections[1].x, 0.6);
    EXPECT_DOUBLE_EQ(clean.sections[2].x, 0.6);
    EXPECT_NEAR(clean.sections[2].width, 0.4, 1e-12);

    // Here the lower half of the edge has nothing on its other side.
    const PageLayout ragged = layoutOf({section("A", 0, 0, 0.5, 1), section("B", 0.5, 0, 0.5, 0.5),
                                        section("C", 0.6, 0.5, 0.4, 0.5)});
    EXPECT_FALSE(ragged.resizeRange("A", Axis::width, horizontal));

    // Rows: the top row's bottom edge is shared with the bottom row.
    PageLayout rows = PageLayout::preset(PageLayout::Preset::six, {});
    const QString topLeft = rows.sections[0].id;
    // Half-height rows may not shrink below a third: 0.5 - 1/3 either way.
    expectRange(rows.resizeRange(topLeft, Axis::height, horizontal), 1.0 / 3, 2.0 / 3);
    // Columns of the two rows share their edges, so widths can be resized as well.
    EXPECT_TRUE(rows.resizeRange(topLeft, Axis::width, horizontal));
}

TEST(PageLayoutResizing, VerticalDisplaysWorkInTheTransposedFrame) {
    // Shown on a vertical display, the stored columns are rows.
    PageLayout shown = twoColumns().oriented(vertical);
    EXPECT_FALSE(shown.resizeRange("L", Axis::width, vertical));
    expectRange(shown.resizeRange("L", Axis::height, vertical), 0.1, 0.9);
    shown.resize("L", Axis::height, 0.7, vertical);
    const PageLayout stored = shown.oriented(vertical);
    EXPECT_DOUBLE_EQ(stored.sections[0].width, 0.7);
    EXPECT_DOUBLE_EQ(stored.sections[1].x, 0.7);
    EXPECT_TRUE(stored.isValid());
}

TEST(PageLayoutResizing, OnlyValidResultsAreTaken) {
    // The same widget in both sections: any result is invalid, so nothing moves.
    PageLayout layout = twoColumns();
    layout.sections[1].widget = kind("a");
    const PageLayout before = layout;
    ASSERT_TRUE(layout.resizeRange("L", Axis::width, horizontal));
    layout.resize("L", Axis::width, 0.7, horizontal);
    EXPECT_EQ(layout, before);
}

TEST(PageLayoutEditing, UnknownIdsChangeNothing) {
    PageLayout layout = PageLayout::example(Board::focus);
    const PageLayout before = layout;
    layout.place(kind("notes"), "nope");
    layout.clear("nope");
    layout.stack("nope", 3, horizontal);
    layout.split("nope", true, 2, horizontal);
    layout.resize("nope", Axis::width, 0.5, horizontal);
    layout.resize("nope", Axis::height, 0.5, vertical);
    EXPECT_EQ(layout, before);
    EXPECT_FALSE(layout.resizeRange("nope", Axis::width, vertical));
}
