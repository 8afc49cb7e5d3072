// The layout editor's rules on a real store with the included widgets: undo history, sizes,
// arrangements, presets, drops, pages and the library filter.
#include "settings/LayoutEditing.h"

#include "support/StoreFixture.h"

namespace {

using Axis = PageLayout::ResizeAxis;
using Preset = PageLayout::Preset;

WidgetSection section(const QString& id, double x, double y, double width, double height,
                      const QString& widget = {}) {
    return {id, WidgetKind::named(widget), x, y, width, height};
}

PageLayout layoutOf(QList<WidgetSection> sections) {
    PageLayout layout;
    layout.sections = std::move(sections);
    return layout;
}

struct LayoutEditingTest : StoreFixture {
    std::unique_ptr<LayoutEditing> editing;

    LayoutEditing& start() {
        customize = [](TarnStore::Environment& environment) {
            environment.resources = QStringLiteral(TABLORA_RESOURCES_DIRECTORY);
        };
        open();
        editing = std::make_unique<LayoutEditing>(*store);
        return *editing;
    }

    void TearDown() override {
        editing.reset();
        store.reset();
    }
};

TEST_F(LayoutEditingTest, ThirtyStepsOfHistoryAndUndoReturnsToTheEditedPage) {
    LayoutEditing& edit = start();
    const PageLayout original = edit.layout();
    // Invalid and unchanged layouts are dropped without a trace.
    EXPECT_FALSE(edit.change(edit.layout()));
    EXPECT_FALSE(edit.change(layoutOf({section("a", 0, 0, 0.05, 1)})));
    EXPECT_TRUE(edit.history().isEmpty());
    EXPECT_FALSE(edit.saved());

    QList<PageLayout> applied;
    for (int index = 0; index < 31; ++index) {
        applied.append(PageLayout::preset(index % 2 ? Preset::two : Preset::three, {}));
        ASSERT_TRUE(edit.change(applied.last()));
    }
    EXPECT_EQ(edit.history().size(), LayoutEditing::historyLimit);
    EXPECT_TRUE(edit.saved());
    // Saved at once, not 0.4 s later.
    EXPECT_EQ(Preferences::fromJson(readFile("preferences.json")).pageLayouts.value("Overview"),
              applied.last());

    for (int index = 0; index < 40; ++index)
        edit.undo();
    EXPECT_TRUE(edit.history().isEmpty());
    // The oldest edit can no longer be undone.
    EXPECT_EQ(store->layout(Board::overview), applied.first());
    EXPECT_NE(store->layout(Board::overview), original);

    // An edit on another page, then the editor moves on: undo goes back to that page and the
    // dashboard follows.
    edit.setBoard(Board::focus);
    const PageLayout focusBefore = edit.layout();
    edit.select(focusBefore.sections[0].id);
    edit.removeWidget();
    edit.setBoard(Board::system);
    edit.undo();
    EXPECT_EQ(edit.board(), Board::focus);
    EXPECT_EQ(store->preferences().board, Board::focus);
    EXPECT_EQ(store->layout(Board::focus), focusBefore);
    EXPECT_FALSE(edit.selected());
}

TEST_F(LayoutEditingTest, SlidersAndStepsResizeWithinTheRange) {
    LayoutEditing& edit = start();
    ASSERT_TRUE(edit.change(PageLayout::preset(Preset::two, {})));
    const QString left = edit.layout().sections[0].id;
    edit.select(left);
    // Full-height sections have no height to share.
    EXPECT_FALSE(edit.resizeRange(Axis::height));
    ASSERT_TRUE(edit.resizeRange(Axis::width));
    EXPECT_NEAR(edit.resizeRange(Axis::width)->lower, 0.1, 1e-9);

    const qsizetype steps = edit.history().size();
    edit.beginResize();
    edit.resizeLive(Axis::width, 0.7);
    EXPECT_NEAR(store->layout(Board::overview).sections[0].width, 0.7, 1e-9);
    edit.resizeLive(Axis::width, 0.5);
    edit.endResize();
    EXPECT_EQ(edit.history().size(), steps) << "a drag that ends where it began";
    edit.beginResize();
    edit.resizeLive(Axis::width, 0.3);
    edit.resizeLive(Axis::width, 0.25);
    edit.endResize();
    EXPECT_EQ(edit.history().size(), steps + 1) << "one step for the whole drag";
    edit.undo();
    EXPECT_NEAR(edit.layout().sections[0].width, 0.5, 1e-9);

    // Values without a drag (keys, the wheel) reach the store at once and wait to become one
    // edit; another edit ends them first.
    edit.select(left);
    edit.resizeLive(Axis::width, 0.45);
    edit.resizeLive(Axis::width, 0.4);
    EXPECT_NEAR(store->layout(Board::overview).sections[0].width, 0.4, 1e-9);
    EXPECT_EQ(edit.history().size(), steps);

    edit.resizeBy(left, Axis::width, 0.10005);
    EXPECT_EQ(edit.history().size(), steps + 2) << "the steps, then the edit";
    EXPECT_FALSE(edit.canDecrease(Axis::width)) << "within 0.0001 of the bound";
    EXPECT_TRUE(edit.canIncrease(Axis::width));
    edit.resizeBy(left, Axis::width, 0.1002);
    EXPECT_TRUE(edit.canDecrease(Axis::width));
    edit.resizeBy(left, Axis::width, 0.95);
    EXPECT_NEAR(edit.extent(Axis::width).value(), 0.9, 1e-9);
    EXPECT_FALSE(edit.canIncrease(Axis::width));
}

TEST_F(LayoutEditingTest, ArrangementsFollowTheSectionCountAndTheirMinimums) {
    LayoutEditing& edit = start();
    // Four columns of three: twelve sections, the most a page holds.
    QList<WidgetSection> twelve;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 3; ++row)
            twelve.append(section(QString("s%1%2").arg(column).arg(row), column * 0.25, row / 3.0,
                                  0.25, 1 / 3.0));
    }
    ASSERT_TRUE(edit.change(layoutOf(twelve)));
    for (const WidgetSection& each : edit.layout().sections) {
        edit.select(each.id);
        EXPECT_FALSE(edit.arrangementEnabled(false, 2)) << each.id.toStdString();
        EXPECT_TRUE(edit.arrangementCurrent(true, 3));
    }

    ASSERT_TRUE(edit.change(PageLayout::preset(Preset::two, {})));
    edit.select(edit.layout().sections[0].id);
    EXPECT_TRUE(edit.arrangementCurrent(false, 2));
    const qsizetype steps = edit.history().size();
    edit.arrange(false, 2);
    EXPECT_EQ(edit.history().size(), steps) << "a current arrangement does nothing";
    EXPECT_TRUE(edit.arrangementEnabled(true, 3));
    edit.arrange(true, 3);
    EXPECT_EQ(edit.layout().sections.size(), 4);
    EXPECT_EQ(edit.selection()->height, 1 / 3.0);
    // A third of the page height cannot be stacked again; a tenth of its width is the least.
    EXPECT_FALSE(edit.arrangementEnabled(true, 2));
    edit.select(edit.layout().sections[3].id);
    edit.arrange(false, 2);
    edit.select(edit.layout().sections[3].id);
    EXPECT_NEAR(edit.selection()->width, 0.25, 1e-9);
    edit.arrange(false, 2);
    edit.select(edit.layout().sections[3].id);
    EXPECT_FALSE(edit.arrangementEnabled(false, 2)) << "0.125 halves below a tenth";
}

TEST_F(LayoutEditingTest, PresetsNeedASectionForEveryPlacedWidget) {
    LayoutEditing& edit = start();
    const QList<WidgetKind> widgets = edit.layout().widgets();
    ASSERT_EQ(widgets.size(), 5);
    EXPECT_FALSE(edit.presetEnabled(Preset::four));
    EXPECT_FALSE(edit.presetEnabled(Preset::featured));
    EXPECT_EQ(edit.presetHelp(Preset::four), "Remove widgets first to use fewer sections");
    EXPECT_EQ(edit.presetHelp(Preset::six), "Apply Six layout");
    edit.applyPreset(Preset::four);
    EXPECT_EQ(edit.layout().widgets(), widgets);

    edit.select(edit.layout().sections[0].id);
    edit.applyPreset(Preset::six);
    EXPECT_EQ(edit.layout().sections.size(), 6);
    EXPECT_EQ(edit.layout().widgets(), widgets) << "every widget, in section order";
    EXPECT_FALSE(edit.selected());
}

TEST_F(LayoutEditingTest, DropsPlaceNewInstancesMoveWidgetsOrAreIgnored) {
    LayoutEditing& edit = start();
    const PageLayout before = edit.layout();
    const QString first = before.sections[0].id;
    const QString last = before.sections[4].id;

    EXPECT_TRUE(edit.receive("tarn-package:agenda", first));
    const WidgetKind placed = *edit.layout().sections[0].widget;
    EXPECT_TRUE(placed.rawValue().startsWith("agenda@"));
    EXPECT_EQ(edit.selected(), first);

    // A placed widget moves: the two sections exchange theirs.
    const WidgetKind network = *before.sections[4].widget;
    EXPECT_TRUE(edit.receive("tarn-widget:" + placed.rawValue(), last));
    EXPECT_EQ(edit.layout().sections[4].widget, placed);
    EXPECT_EQ(edit.layout().sections[0].widget, network);

    const PageLayout moved = edit.layout();
    for (const QString& ignored :
         {QString("tarn-package:nothing-installed"), QString("tarn-widget:"),
          QString("https://example.org"), QString("tarn-widget:gone@1")})
        EXPECT_FALSE(edit.receive(ignored, first)) << ignored.toStdString();
    EXPECT_FALSE(edit.receive("tarn-package:cpu", "no such section"));
    EXPECT_EQ(edit.layout(), moved);

    // A widget whose package is gone may still move on its page.
    PageLayout withMissing = edit.layout();
    withMissing.sections[1].widget = WidgetKind::named("gone@1");
    ASSERT_TRUE(edit.change(withMissing));
    EXPECT_TRUE(edit.receive("tarn-widget:gone@1", first));
    EXPECT_EQ(edit.layout().sections[0].widget, WidgetKind::named("gone@1"));

    edit.select(last);
    edit.assign("notes");
    EXPECT_TRUE(edit.layout().sections[4].widget->rawValue().startsWith("notes@"));
    EXPECT_EQ(edit.selected(), last);
}

TEST_F(LayoutEditingTest, ALibraryWidgetFillsOnlyAnEmptySectionWithoutAsking) {
    LayoutEditing& edit = start();
    const PageLayout before = edit.layout();
    // The example page is full: the hint says how to make room.
    EXPECT_TRUE(edit.hint().startsWith("Every section holds a widget. To make room, select a "
                                       "section and split it"))
            << edit.hint().toStdString();
    edit.select(before.sections[0].id);
    edit.choose("notes");
    EXPECT_EQ(edit.layout(), before) << "a filled section is not replaced without a word";
    EXPECT_EQ(edit.placing(), "notes");
    EXPECT_TRUE(edit.placingReplaces());
    edit.confirmPlacing();
    EXPECT_TRUE(edit.layout().sections[0].widget->rawValue().startsWith("notes@"));
    EXPECT_EQ(edit.placing(), std::nullopt);
    edit.undo();
    EXPECT_EQ(edit.layout(), before);

    // Without a selection the widget waits for the section chosen next; an empty one takes it.
    ASSERT_TRUE(edit.change(PageLayout::preset(Preset::six, before.widgets())));
    edit.select(std::nullopt);
    edit.choose("agenda");
    EXPECT_EQ(edit.hint(), QString::fromUtf8("Click an empty section to place “Agenda”, or drag "
                                             "it from the library onto a section."));
    edit.select(edit.layout().sections[5].id);
    EXPECT_TRUE(edit.layout().sections[5].widget->rawValue().startsWith("agenda@"));
    EXPECT_EQ(edit.placing(), std::nullopt);
}

TEST_F(LayoutEditingTest, PagesAndTheirAlerts) {
    LayoutEditing& edit = start();
    EXPECT_EQ(edit.deleteMessage(), "Delete Page 1?");
    EXPECT_EQ(edit.deleteInformative(),
              "This removes the page and its widget layout. Remaining pages will be renumbered. "
              "Installed widgets remain available in the library. This cannot be undone.");
    EXPECT_EQ(edit.resetMessage(), "Reset Page 1?");
    EXPECT_EQ(edit.resetInformative(),
              QString::fromUtf8("Restore this page’s example layout. Other pages keep their "
                                "layouts. You can undo this change."));

    edit.addPage();
    EXPECT_EQ(edit.board(), Board::page4);
    EXPECT_EQ(edit.resetMessage(), "Reset Page 4?");
    EXPECT_EQ(edit.resetInformative(),
              "Clear this page to one empty section. You can undo this change.");
    ASSERT_TRUE(edit.change(PageLayout::preset(Preset::two, {})));
    edit.resetPage();
    EXPECT_EQ(edit.layout().sections.size(), 1);
    EXPECT_EQ(edit.history().size(), 2);

    EXPECT_TRUE(edit.deletePage());
    EXPECT_TRUE(edit.history().isEmpty());
    EXPECT_EQ(store->pages().size(), 3);
    EXPECT_EQ(edit.board(), store->preferences().board);
    EXPECT_TRUE(edit.saved());

    // A page count changed elsewhere: the editor follows the dashboard and forgets its history.
    ASSERT_TRUE(edit.change(PageLayout::preset(Preset::six, {})));
    store->addPage();
    EXPECT_EQ(edit.board(), Board::page4);
    EXPECT_TRUE(edit.history().isEmpty());

    // So does a new orientation, which also drops the badge.
    ASSERT_TRUE(edit.change(PageLayout::preset(Preset::two, {})));
    store->updatePreferences([](Preferences& p) { p.orientation = LayoutOrientation::vertical; });
    EXPECT_TRUE(edit.history().isEmpty());
    EXPECT_FALSE(edit.saved());

    while (store->pages().size() > 1)
        ASSERT_TRUE(edit.deletePage());
    EXPECT_FALSE(edit.canDeletePage());
    EXPECT_FALSE(edit.deletePage()) << "the only page stays";
}

TEST_F(LayoutEditingTest, LibraryMatchesNameOrAuthorInTheCategory) {
    LayoutEditing& edit = start();
    const auto ids = [&](const QString& search, const QString& category) {
        QStringList found;
        for (const WidgetPackage& package : edit.matches(search, category))
            found.append(package.id());
        return found;
    };
    EXPECT_EQ(ids("", "All").size(), store->widgets().packages().size());
    EXPECT_EQ(ids("cpu", "All"), QStringList({"cpu"}));
    EXPECT_EQ(ids("TABLORA", "Monitoring").size(), ids("", "Monitoring").size()) << "by author";
    EXPECT_TRUE(ids("cpu", "Audio").isEmpty());
    EXPECT_EQ(edit.placedCounts().value("cpu"), 1);
    edit.select(edit.layout().sections[1].id);
    edit.assign("cpu");
    EXPECT_EQ(edit.placedCounts().value("cpu"), 2);
}

} // namespace
