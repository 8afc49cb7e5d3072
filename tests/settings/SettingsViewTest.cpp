// The settings window's views on a real store and touch controller, offscreen: every control
// by mouse and by its touch region, the dialogs answered through the fake, nothing modal.
#include "model/linux/PlatformTexts.h"
#include "settings/DisplayMap.h"
#include "settings/GeneralSettingsView.h"
#include "settings/LauncherSettingsSheet.h"
#include "settings/LayoutEditorView.h"
#include "settings/PackageList.h"
#include "settings/PackagePreviews.h"
#include "settings/SettingsStyle.h"
#include "settings/WidgetLibraryView.h"
#include "support/PackageBuilder.h"
#include "support/SettingsFixture.h"
#include "touch/views/TouchSurface.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

using Axis = PageLayout::ResizeAxis;

class DeniedDevices : public HidDeviceSource {
public:
    int opens = 0;
    int open(HidDeviceListener&) override {
        ++opens;
        return EACCES;
    }
    void close() override {}
    Access access() const override { return Access::denied; }
};

class RefusingLogin : public StartAtLogin {
public:
    bool enabled = false;
    bool isEnabled() const override { return enabled; }
    QString setEnabled(bool) override { return "The autostart folder is not writable"; }
};

struct SettingsViewTest : SettingsFixture {
    // Taps the region with this id through the touch controller's registry, as direct touch
    // does; false when no enabled region has it.
    bool tap(const QString& id) {
        QCoreApplication::processEvents();
        view->touchSurface()->collect();
        const auto* surface = touch->contacts().surface(view->touchSurface()->id());
        for (const TouchRegion& region : surface->regions) {
            if (region.id == id && region.enabled) {
                region.action();
                QCoreApplication::processEvents();
                return true;
            }
        }
        return false;
    }
    void click(QWidget* widget) {
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
        QCoreApplication::processEvents();
    }
    // Clicks the row of a package list that shows this name, scrolled into view first; false
    // when no row does.
    bool click(PackageList* list, const QString& name) {
        const QList<PackageList::Row>& rows = list->rows();
        const auto row = std::find_if(rows.begin(), rows.end(),
                                      [&](const PackageList::Row& r) { return r.name == name; });
        if (row == rows.end())
            return false;
        const QModelIndex index = list->model()->index(int(row - rows.begin()), 0);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
        QCoreApplication::processEvents();
        return true;
    }
    // Shows the window for real (offscreen) and makes it active: keys and shortcuts go to it.
    void activate() {
        window->hide();
        window->setAttribute(Qt::WA_DontShowOnScreen, false);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    LayoutEditorView& editor() {
        store->setSettingsTab(SettingsTab::layouts);
        QCoreApplication::processEvents();
        return *view->layouts();
    }
};

TEST_F(SettingsViewTest, DirectTouchSecondsAndDisplayAnswerClicksAndTouchAlike) {
    SettingsView& settings = openSettings();
    int moves = 0;
    store->moveToDisplay = [&] { ++moves; };
    GeneralSettingsView& general = *settings.general();
    ASSERT_TRUE(general.directTouchSwitch()->isChecked());

    click(general.directTouchSwitch());
    EXPECT_FALSE(store->preferences().directTouch);
    EXPECT_EQ(touch->status(), "Standard mouse mode") << "the controller was told";
    EXPECT_EQ(general.status()->text(), "Standard mouse mode");
    EXPECT_TRUE(tap("direct-touch-toggle"));
    EXPECT_TRUE(store->preferences().directTouch);
    EXPECT_TRUE(general.directTouchSwitch()->isChecked());

    EXPECT_TRUE(tap("clock-seconds"));
    EXPECT_TRUE(store->preferences().showSeconds);
    click(general.secondsSwitch());
    EXPECT_FALSE(store->preferences().showSeconds);

    EXPECT_TRUE(tap("move-display"));
    EXPECT_EQ(moves, 1);

    QComboBox* display = general.displayPicker();
    ASSERT_EQ(display->count(), 3);
    EXPECT_EQ(display->itemText(0), "Automatic · XENEON EDGE");
    // Named after the monitor and its connector; the connector alone when the EDID names none.
    EXPECT_EQ(display->itemText(1), "DELL U2720Q · DP-1");
    EXPECT_EQ(display->itemText(2), "HDMI-2");
    emit display->activated(2);
    EXPECT_EQ(store->preferences().displayID, 22u);
    EXPECT_EQ(moves, 2);
    emit display->activated(0);
    EXPECT_FALSE(store->preferences().displayID) << "automatic clears the chosen display";

    emit general.orientationPicker()->activated(1);
    EXPECT_EQ(store->preferences().orientation, LayoutOrientation::vertical);
    // The denied help stays away while the device is not refused.
    EXPECT_FALSE(general.permissionHelp()->isVisibleTo(&general));
    EXPECT_FALSE(tap("retry-touch"));
}

TEST_F(SettingsViewTest, DeniedTouchShowsTheHelpAndItsThreeButtons) {
    openStore();
    auto* devices = new DeniedDevices;
    {
        // A controller whose touchscreen refuses to open.
        DirectTouchController::Environment environment;
        environment.host = storeTouchHost(*store);
        environment.screens = &screens;
        environment.windows = std::make_unique<WidgetTouchWindows>();
        environment.devices.reset(devices);
        environment.supportFolder = directory();
        touch = std::make_unique<DirectTouchController>(std::move(environment));
    }
    SettingsView& settings = openSettings();
    touch->start();
    QCoreApplication::processEvents();
    GeneralSettingsView& general = *settings.general();
    ASSERT_TRUE(touch->inputMonitoringDenied());
    EXPECT_TRUE(general.permissionHelp()->isVisibleTo(&general));
    EXPECT_EQ(general.status()->text(), PlatformTexts::touchAccessDenied());
    QStringList texts;
    for (QLabel* label : general.permissionHelp()->findChildren<QLabel*>())
        texts.append(label->text());
    EXPECT_EQ(texts, QStringList({PlatformTexts::touchPermissionHelp(),
                                  PlatformTexts::touchPermissionHint()}));

    EXPECT_TRUE(tap("touch-input-settings"));
    EXPECT_TRUE(tap("touch-reveal-app"));
    EXPECT_EQ(desktop.calls, QStringList({"help", "reveal application"}));
    const int opens = devices->opens;
    EXPECT_TRUE(tap("retry-touch"));
    EXPECT_EQ(devices->opens, opens + 1) << "Retry opens the device again";
}

TEST_F(SettingsViewTest, FocusLengthColoursAndStartingAtLogin) {
    auto login = std::make_shared<RefusingLogin>();
    customize = [login](TarnStore::Environment& environment) {
        environment.resources = QStringLiteral(TABLORA_RESOURCES_DIRECTORY);
        environment.startAtLogin = login;
    };
    StoreFixture::open();
    {
        DirectTouchController::Environment environment;
        environment.host = storeTouchHost(*store);
        environment.screens = &screens;
        environment.windows = std::make_unique<WidgetTouchWindows>();
        touch = std::make_unique<DirectTouchController>(std::move(environment));
    }
    GeneralSettingsView& general = *openSettings().general();

    click(general.focusMore());
    EXPECT_EQ(store->preferences().focusMinutes, 30);
    EXPECT_EQ(general.focusLength()->text(), "30 minutes");
    store->setFocusMinutes(118);
    click(general.focusMore());
    EXPECT_EQ(store->preferences().focusMinutes, 120);
    EXPECT_FALSE(general.focusMore()->isEnabled());
    store->setFocusMinutes(4);
    click(general.focusLess());
    EXPECT_EQ(store->preferences().focusMinutes, 1);
    EXPECT_FALSE(general.focusLess()->isEnabled());
    store->toggleFocus();
    EXPECT_FALSE(general.focusMore()->isEnabled()) << "not while a session runs";
    store->resetFocus();
    EXPECT_TRUE(general.focusMore()->isEnabled());

    click(general.primaryWell());
    ASSERT_EQ(dialogs.colours.size(), 1);
    dialogs.colours[0](QColor(255, 0, 0));
    EXPECT_EQ(store->preferences().primaryAccent, "#ff0000");
    dialogs.colours[0](QColor());
    EXPECT_EQ(store->preferences().primaryAccent, "#ff0000") << "an invalid colour changes nothing";
    click(general.secondaryWell());
    dialogs.colours[1](QColor(0, 128, 255));
    EXPECT_EQ(store->preferences().customAccent, "#0080ff");
    EXPECT_EQ(general.secondaryWell()->text(), "#0080ff");

    ToggleSwitch* startAtLogin = general.startAtLoginSwitch();
    ASSERT_NE(startAtLogin, nullptr);
    click(startAtLogin);
    EXPECT_FALSE(startAtLogin->isChecked()) << "a refusal puts the switch back";
    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_EQ(dialogs.asked[0].alert.message, "The autostart folder is not writable");
    // Changed from a terminal, noticed when the window shows again.
    login->enabled = true;
    general.refresh();
    EXPECT_TRUE(startAtLogin->isChecked());
    emit login->enabledChanged(false);
    EXPECT_FALSE(startAtLogin->isChecked());
}

TEST_F(SettingsViewTest, TabsFollowTheStoreAndTheStoreFollowsTheTabs) {
    SettingsView& settings = openSettings();
    EXPECT_TRUE(settings.general()->isVisibleTo(&settings));
    EXPECT_EQ(settings.general()->startAtLoginSwitch(), nullptr) << "not offered without one";
    store->setSettingsTab(SettingsTab::packages);
    EXPECT_TRUE(settings.library()->isVisibleTo(&settings));
    click(settings.tabButton(1));
    EXPECT_EQ(store->settingsTab(), SettingsTab::layouts);
    EXPECT_TRUE(settings.layouts()->isVisibleTo(&settings));
    EXPECT_TRUE(settings.tabButton(1)->isChecked());
    click(settings.tabButton(1));
    EXPECT_TRUE(settings.tabButton(1)->isChecked()) << "a click on the current tab keeps its mark";

    // Ctrl with the tab's number switches by keyboard.
    activate();
    QTest::keyClick(window.get(), Qt::Key_3, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return store->settingsTab() == SettingsTab::packages; }));
    QTest::keyClick(window.get(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return store->settingsTab() == SettingsTab::general; }));
}

// What assistive technology reads of every control it can focus: Qt's accessibility interfaces,
// walked from the window down as a screen reader does.
void unnamedControls(QAccessibleInterface* node, QStringList& problems) {
    const QAccessible::State state = node->state();
    if (state.focusable && !state.invisible) {
        static const QList<QAccessible::Role> roles = {
                QAccessible::Button,   QAccessible::CheckBox,     QAccessible::RadioButton,
                QAccessible::ComboBox, QAccessible::EditableText, QAccessible::Slider,
                QAccessible::List,     QAccessible::ListItem,     QAccessible::ButtonMenu,
                QAccessible::Grouping, QAccessible::StaticText};
        const QString name = node->text(QAccessible::Name);
        const QString what = node->object() ? node->object()->metaObject()->className()
                                            : QStringLiteral("an item");
        if (name.trimmed().isEmpty())
            problems.append(what + " without a name");
        if (!roles.contains(node->role()))
            problems.append(
                    QStringLiteral("%1 \"%2\" with role %3").arg(what, name).arg(node->role()));
    }
    for (int index = 0; index < node->childCount(); ++index) {
        if (QAccessibleInterface* child = node->child(index))
            unnamedControls(child, problems);
    }
}

TEST_F(SettingsViewTest, EveryControlOfTheThreeTabsHasANameAndARole) {
    SettingsView& settings = openSettings();
    for (const SettingsTab tab :
         {SettingsTab::general, SettingsTab::layouts, SettingsTab::packages}) {
        store->setSettingsTab(tab);
        if (tab == SettingsTab::layouts) {
            // A stacked section shows the whole inspector: both sliders.
            LayoutEditing& editing = settings.layouts()->editing();
            editing.select(editing.layout().sections[0].id);
            editing.arrange(true, 2);
        }
        QCoreApplication::processEvents();
        QStringList problems;
        unnamedControls(QAccessible::queryAccessibleInterface(&settings), problems);
        EXPECT_TRUE(problems.isEmpty()) << int(tab) << ": " << problems.join("; ").toStdString();
    }
    // A slider says its value as the percentage shown beside it.
    QSlider* height = settings.layouts()->slider(Axis::height);
    ASSERT_TRUE(height->isVisibleTo(settings.layouts()));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(height)->text(QAccessible::Description), "50%");
}

TEST_F(SettingsViewTest, LayoutEditorControlsByMouseAndByTouch) {
    openSettings();
    LayoutEditorView& layouts = editor();
    LayoutEditing& editing = layouts.editing();
    const PageLayout overview = editing.layout();
    EXPECT_EQ(layouts.countLabel()->text(), "5 widgets · 5 sections");
    EXPECT_FALSE(layouts.savedShown());
    EXPECT_FALSE(layouts.undoButton()->isEnabled());
    EXPECT_EQ(layouts.undoButton()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));

    // A tile by touch, the inspector, the width by touch and by mouse.
    EXPECT_TRUE(tap("layout-section-" + overview.sections[1].id));
    EXPECT_EQ(editing.selected(), overview.sections[1].id);
    EXPECT_EQ(layouts.inspectorTitle()->text(), "GPU");
    EXPECT_EQ(layouts.inspectorSubtitle()->text(), "20% wide · 100% tall");
    EXPECT_FALSE(layouts.configureButton()->isVisibleTo(&layouts));
    EXPECT_TRUE(layouts.axisHint(Axis::height)->isVisibleTo(&layouts));
    EXPECT_EQ(layouts.axisHint(Axis::height)->text(), "Stack two sections to adjust height");
    EXPECT_TRUE(tap("section-width-less"));
    EXPECT_NEAR(editing.selection()->width, 0.19, 1e-9);
    click(layouts.lessButton(Axis::width));
    EXPECT_NEAR(editing.selection()->width, 0.18, 1e-9);
    EXPECT_TRUE(tap("section-width-more"));
    EXPECT_NEAR(editing.selection()->width, 0.19, 1e-9);
    EXPECT_TRUE(layouts.savedShown());
    EXPECT_EQ(layouts.inspectorSubtitle()->text(), "19% wide · 100% tall");

    // The slider: a whole drag is one step.
    const qsizetype steps = editing.history().size();
    QSlider* slider = layouts.slider(Axis::width);
    slider->setSliderDown(true);
    slider->setValue(2500);
    slider->setValue(2600);
    slider->setSliderDown(false);
    EXPECT_NEAR(editing.selection()->width, 0.26, 1e-9);
    EXPECT_EQ(editing.history().size(), steps + 1);

    // A library entry replaces the selected section's widget once the user agrees, by touch as
    // by mouse. Only what the library's list shows takes a touch.
    EXPECT_FALSE(layouts.replaceButton()->isVisibleTo(&layouts));
    EXPECT_FALSE(tap("layout-library-notes")) << "scrolled out of the list";
    layouts.searchField()->setText("Notes");
    EXPECT_TRUE(tap("layout-library-notes"));
    layouts.searchField()->clear();
    EXPECT_EQ(layouts.inspectorTitle()->text(), "GPU");
    EXPECT_EQ(layouts.hint()->text(),
              QString::fromUtf8("Replace “GPU” with “Notes”? You can undo this change."));
    EXPECT_TRUE(tap("placing-replace"));
    EXPECT_EQ(layouts.inspectorTitle()->text(), "Notes");
    EXPECT_FALSE(layouts.replaceButton()->isVisibleTo(&layouts));
    PackageList* library = layouts.libraryList();
    const QList<PackageList::Row> rows = library->rows();
    const auto shortcuts = std::find_if(rows.begin(), rows.end(), [](const PackageList::Row& row) {
        return row.id == "shortcuts";
    });
    ASSERT_NE(shortcuts, rows.end());
    EXPECT_EQ(library->dragText(int(shortcuts - rows.begin())), "tarn-package:shortcuts");
    ASSERT_TRUE(click(library, "Shortcut"));
    click(layouts.cancelPlacingButton());
    EXPECT_EQ(layouts.inspectorTitle()->text(), "Notes");
    ASSERT_TRUE(click(library, "Shortcut"));
    click(layouts.replaceButton());
    EXPECT_EQ(layouts.inspectorTitle()->text(), "Shortcut");
    EXPECT_TRUE(layouts.configureButton()->isVisibleTo(&layouts));
    click(layouts.configureButton());
    ASSERT_NE(layouts.launcherSheet(), nullptr);
    EXPECT_EQ(layouts.launcherSheet()->draft().application, "com.apple.finder");
    layouts.launcherSheet()->reject();

    // The map's tiles: numbered, named, and taking dropped packages.
    const QList<SectionTile*> tiles = layouts.map()->tiles();
    ASSERT_EQ(tiles.size(), 5);
    EXPECT_EQ(tiles[1]->label(), "Shortcut");
    EXPECT_TRUE(tiles[1]->isSelected());
    QMimeData dropped;
    dropped.setText("tarn-package:agenda");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tiles[4], &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tiles[4], &drop);
    QCoreApplication::processEvents();
    EXPECT_TRUE(editing.layout().sections[4].widget->rawValue().startsWith("agenda@"));
    EXPECT_EQ(layouts.map()->tiles()[4]->label(), "Agenda");
    EXPECT_TRUE(layouts.map()->tiles()[4]->isSelected());
    click(layouts.undoButton());
    EXPECT_EQ(layouts.map()->tiles()[4]->label(), "Network");
    editing.select(editing.layout().sections[1].id);

    // Presets: disabled with their help while too small.
    EXPECT_FALSE(layouts.presetButton(PageLayout::Preset::two)->isEnabled());
    EXPECT_EQ(layouts.presetButton(PageLayout::Preset::two)->toolTip(),
              "Remove widgets first to use fewer sections");
    EXPECT_EQ(layouts.presetButton(PageLayout::Preset::six)->toolTip(), "Apply Six layout");
    EXPECT_EQ(layouts.presetButton(PageLayout::Preset::six)->accessibleName(),
              "Six section layout");

    click(layouts.undoButton());
    EXPECT_FALSE(layouts.inspectorTitle()->isVisibleTo(&layouts)) << "undo clears the selection";
}

// Along the middle of the drawing, across `stacked` ones: how many sections it passes.
int sectionsAcross(const QIcon& icon, const QSize& size, bool stacked) {
    const QImage image = icon.pixmap(size).toImage();
    const int length = stacked ? image.height() : image.width();
    int runs = 0;
    bool inside = false;
    for (int step = 0; step < length; ++step) {
        const QColor colour = stacked ? image.pixelColor(image.width() / 2, step)
                                      : image.pixelColor(step, image.height() / 2);
        // A section's fill, not its outline nor the gap between two.
        const bool fill = colour.alpha() > 50 && colour.alpha() < 140;
        runs += fill && !inside;
        inside = fill;
    }
    return runs;
}

TEST_F(SettingsViewTest, TheLayoutEditorAnswersTheKeyboard) {
    openSettings();
    activate();
    LayoutEditorView& layouts = editor();
    LayoutEditing& editing = layouts.editing();
    // A tall section on the left, two stacked on the right.
    PageLayout layout;
    layout.sections = {{"a", WidgetKind::named("cpu"), 0, 0, 0.5, 1},
                       {"b", WidgetKind::named("gpu"), 0.5, 0, 0.5, 0.5},
                       {"c", std::nullopt, 0.5, 0.5, 0.5, 0.5}};
    ASSERT_TRUE(editing.change(layout));
    const auto focused = [] { return qobject_cast<SectionTile*>(QApplication::focusWidget()); };
    const auto press = [](int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
        QCoreApplication::processEvents();
    };

    // The map is one stop of the Tab chain, in its place.
    layouts.deletePageButton()->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Tab);
    ASSERT_NE(focused(), nullptr);
    EXPECT_EQ(focused()->sectionID(), "a");
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), nullptr) << "Tab leaves the map";
    press(Qt::Key_Backtab);
    ASSERT_NE(focused(), nullptr);

    // Arrows go to the geometric neighbour and select it; the page's edge stops them.
    press(Qt::Key_Right);
    EXPECT_EQ(editing.selected(), "b");
    EXPECT_EQ(focused()->sectionID(), "b");
    press(Qt::Key_Down);
    EXPECT_EQ(editing.selected(), "c");
    press(Qt::Key_Left);
    EXPECT_EQ(editing.selected(), "a");
    press(Qt::Key_Left);
    EXPECT_EQ(editing.selected(), "a");
    EXPECT_EQ(focused()->sectionID(), "a");

    // Ctrl+arrow moves the widget as a drag does, one undo step; the selection follows it.
    const qsizetype steps = editing.history().size();
    press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(editing.layout().sections[1].widget, WidgetKind::named("cpu"));
    EXPECT_EQ(editing.layout().sections[0].widget, WidgetKind::named("gpu"));
    EXPECT_EQ(editing.selected(), "b");
    EXPECT_EQ(focused()->sectionID(), "b");
    EXPECT_EQ(editing.history().size(), steps + 1);
    editing.undo();
    EXPECT_EQ(editing.layout().sections[0].widget, WidgetKind::named("cpu"));

    // Delete empties the focused section.
    layouts.map()->focusSection("b");
    press(Qt::Key_Delete);
    EXPECT_FALSE(editing.layout().sections[1].widget);

    // Enter on a library widget fills the selected empty section; an occupied one is asked
    // about first, as a click does.
    PackageList* library = layouts.libraryList();
    const auto enterOn = [&](const QString& name) {
        const QList<PackageList::Row>& rows = library->rows();
        const auto row = std::find_if(rows.begin(), rows.end(),
                                      [&](const PackageList::Row& r) { return r.name == name; });
        ASSERT_NE(row, rows.end());
        library->setFocus(Qt::TabFocusReason);
        library->setCurrentIndex(library->model()->index(int(row - rows.begin()), 0));
        press(Qt::Key_Return);
    };
    enterOn("Notes");
    EXPECT_EQ(editing.layout().sections[1].widget->packageID(), "notes");
    editing.select("a");
    enterOn("Agenda");
    EXPECT_EQ(editing.layout().sections[0].widget, WidgetKind::named("cpu")) << "not yet";
    EXPECT_TRUE(layouts.replaceButton()->isVisibleTo(&layouts));
    editing.cancelPlacing();

    // A burst of slider keys is one undo step and one save: 1 % a key, 10 % a page.
    layouts.map()->focusSection("b");
    press(Qt::Key_Space);
    QSlider* height = layouts.slider(Axis::height);
    ASSERT_TRUE(height->isVisibleTo(&layouts));
    const qsizetype before = editing.history().size();
    QSignalSpy saves(store.get(), &TarnStore::saved);
    height->setFocus(Qt::TabFocusReason);
    for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Up, Qt::Key_PageUp})
        press(key);
    EXPECT_NEAR(editing.selection()->height, 0.63, 1e-9);
    EXPECT_EQ(height->accessibleDescription(), "63%");
    EXPECT_TRUE(QTest::qWaitFor([&] { return editing.history().size() == before + 1; }));
    QTest::qWait(500);
    EXPECT_EQ(saves.count(), 1);
    EXPECT_TRUE(layouts.savedShown());
    editing.undo();
    EXPECT_NEAR(editing.selection().value_or(WidgetSection{}).height, 0, 1e-9)
            << "undo clears the selection";
    EXPECT_NEAR(editing.layout().sections[1].height, 0.5, 1e-9);

    // The arrangement's mark is the layout's: a click on the current one leaves it marked.
    editing.select("b");
    QPushButton* stackTwo = layouts.arrangementButton(1);
    ASSERT_TRUE(stackTwo->isChecked());
    click(stackTwo);
    EXPECT_TRUE(stackTwo->isChecked());
    EXPECT_EQ(editing.layout().sections.size(), 3);

    // A tall display's presets are drawn tall: "Two" is two rows.
    QPushButton* two = layouts.presetButton(PageLayout::Preset::two);
    EXPECT_EQ(sectionsAcross(two->icon(), two->iconSize(), false), 2);
    store->updatePreferences([](Preferences& p) { p.orientation = LayoutOrientation::vertical; });
    QCoreApplication::processEvents();
    EXPECT_GT(two->iconSize().height(), two->iconSize().width());
    EXPECT_EQ(sectionsAcross(two->icon(), two->iconSize(), true), 2);
}

TEST_F(SettingsViewTest, PagesAreAddedResetAndDeletedThroughTheirAlerts) {
    openSettings();
    LayoutEditorView& layouts = editor();
    EXPECT_TRUE(tap("layout-page-Focus"));
    EXPECT_EQ(layouts.editing().board(), Board::focus);
    EXPECT_TRUE(layouts.pageButton(Board::focus)->isChecked());
    EXPECT_FALSE(layouts.pageButton(Board::page4)->isVisibleTo(&layouts));

    EXPECT_TRUE(tap("add-page"));
    click(layouts.addPageButton());
    EXPECT_EQ(store->pages().size(), 5);
    EXPECT_EQ(layouts.editing().board(), Board::page5);
    EXPECT_TRUE(layouts.pageButton(Board::page5)->isVisibleTo(&layouts));

    EXPECT_TRUE(tap("reset-page"));
    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_EQ(dialogs.asked[0].alert.message, "Reset Page 5?");
    EXPECT_EQ(dialogs.asked[0].alert.informative,
              "Clear this page to one empty section. You can undo this change.");
    EXPECT_EQ(dialogs.asked[0].alert.buttons, QStringList({"Reset Page", "Cancel"}));
    dialogs.answer("Reset Page");

    click(layouts.deletePageButton());
    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_EQ(dialogs.asked[0].alert.message, "Delete Page 5?");
    EXPECT_EQ(dialogs.asked[0].alert.buttons, QStringList({"Delete Page", "Cancel"}));
    EXPECT_EQ(dialogs.asked[0].alert.defaultButton, 1) << "Return cancels";
    dialogs.answer("Cancel");
    EXPECT_EQ(store->pages().size(), 5);
    click(layouts.deletePageButton());
    dialogs.answer("Delete Page");
    EXPECT_EQ(store->pages().size(), 4);
    EXPECT_FALSE(layouts.pageButton(Board::page5)->isVisibleTo(&layouts));
    EXPECT_TRUE(layouts.savedShown());
}

TEST_F(SettingsViewTest, LibraryInstallsThroughTheChooserAndTheConfirmation) {
    openSettings();
    store->setSettingsTab(SettingsTab::packages);
    WidgetLibraryView& library = *view->library();
    PackageBuilder builder(folder.filePath("picked"));

    click(library.installButton());
    ASSERT_EQ(dialogs.choosers.size(), 1);
    EXPECT_EQ(dialogs.choosers[0].title, "Install a Tablora widget");
    dialogs.choose(builder.write("Plain"));
    EXPECT_EQ(library.errorLabel()->text(), "Choose a .tarnwidget folder");
    EXPECT_TRUE(dialogs.asked.isEmpty());

    QJsonObject broken = PackageBuilder::validManifest();
    broken.remove("entry");
    const auto before = store->widgets().packages();
    library.install();
    dialogs.choose(builder.write("broken.tarnwidget", broken));
    EXPECT_TRUE(library.errorLabel()->text().startsWith("manifest.json: "))
            << library.errorLabel()->text().toStdString();
    EXPECT_TRUE(dialogs.asked.isEmpty());
    EXPECT_EQ(store->widgets().packages(), before);
    // Room for a second line of detail.
    EXPECT_TRUE(library.errorLabel()->wordWrap());

    library.install();
    dialogs.choose(builder.write("clock.tarnwidget"));
    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_EQ(dialogs.asked[0].alert.message, "Install Clock?");
    EXPECT_TRUE(dialogs.asked[0].alert.informative.contains(
            "Requested access: clock and theme only.\n\nNetwork: none."));
    EXPECT_EQ(dialogs.asked[0].alert.buttons, QStringList({"Install", "Cancel"}));
    dialogs.answer("Install");
    EXPECT_FALSE(library.errorLabel()->isVisibleTo(&library));
    ASSERT_TRUE(store->widgets().package(QString("com.example.clock")));
    EXPECT_EQ(library.detailsName()->text(), "Clock") << "the new package is shown";
    EXPECT_TRUE(library.detailRows().contains("Source\tCustom widget"));
    EXPECT_EQ(library.detailsNote()->text(), "This widget lives in your custom widget folder.");
    EXPECT_EQ(library.revealButton()->text(), PlatformTexts::showInFileManager());
    click(library.revealButton());
    EXPECT_TRUE(desktop.calls.last().startsWith("reveal ") &&
                desktop.calls.last().endsWith("com.example.clock.tarnwidget"));
    // Uninstalling asks first, naming the widget and its folder; Return cancels.
    const QString root = store->widgets().package(QString("com.example.clock"))->root;
    const TemporaryTrash trash;
    click(library.uninstallButton());
    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_EQ(dialogs.asked[0].alert.message, "Move Clock to the Trash?");
    EXPECT_TRUE(dialogs.asked[0].alert.informative.startsWith("Its folder “" + root +
                                                              "” goes to "
                                                              "the Trash"));
    EXPECT_EQ(dialogs.asked[0].alert.buttons, QStringList({"Move to Trash", "Cancel"}));
    EXPECT_EQ(dialogs.asked[0].alert.defaultButton, 1);
    dialogs.answer("Cancel");
    EXPECT_TRUE(QFileInfo::exists(root + "/manifest.json"));
    // A trash that cannot be made: the package stays and the user reads why.
    ::writeFile(trash.dataHome + "/Trash", "");
    click(library.uninstallButton());
    dialogs.answer("Move to Trash");
    EXPECT_TRUE(store->widgets().package(QString("com.example.clock")));
    EXPECT_TRUE(library.errorLabel()->isVisibleTo(&library));
    EXPECT_TRUE(library.errorLabel()->text().startsWith(
            "Clock is still installed: its folder couldn’t be moved to the Trash"));
    QFile::remove(trash.dataHome + "/Trash");
    click(library.uninstallButton());
    dialogs.answer("Move to Trash");
    EXPECT_FALSE(store->widgets().package(QString("com.example.clock")));
    EXPECT_TRUE(QFileInfo::exists(trash.dataHome + "/Trash/files/com.example.clock.tarnwidget"));

    // The library's actions and the registry's error lines.
    QList<QAction*> actions = library.actionsButton()->menu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "Open Included Widgets Folder");
    actions[0]->trigger();
    actions[1]->trigger();
    EXPECT_EQ(desktop.calls.mid(desktop.calls.size() - 2),
              QStringList({"open " + store->widgets().bundledDirectory(),
                           "open " + store->widgets().installedDirectory()}));
    PackageBuilder(store->widgets().installedDirectory()).write("broken.tarnwidget", broken);
    EXPECT_EQ(actions[2]->text(), "Reload Widgets");
    actions[2]->trigger();
    EXPECT_TRUE(library.registryErrors()->isVisibleTo(&library));
    EXPECT_TRUE(library.registryErrors()->text().startsWith("broken.tarnwidget: manifest.json: "));

    // Included packages cannot be uninstalled.
    EXPECT_FALSE(library.uninstallButton()->isVisibleTo(&library));
    EXPECT_TRUE(library.detailRows().contains("Source\tIncluded with Tablora"));

    // By name only: an author's name finds nothing.
    library.searchField()->setText("Tablora");
    EXPECT_TRUE(library.packageList()->rows().isEmpty());
    EXPECT_TRUE(library.emptyLabel()->isVisibleTo(&library));
    EXPECT_EQ(library.emptyLabel()->text(), "No matching widgets");
    library.searchField()->setText("cpu");
    EXPECT_EQ(library.packageList()->rows().size(), 1);
}

TEST_F(SettingsViewTest, PlacedWidgetsNameTheirPageAndLeadToTheLayout) {
    openSettings();
    store->setSettingsTab(SettingsTab::packages);
    WidgetLibraryView& library = *view->library();
    click(library.pagesTab());
    library.searchField()->setText("Shortcut");
    const auto rows = library.instanceRows();
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[0].page, "Page 2");
    EXPECT_EQ(rows[0].name, "Files");
    EXPECT_EQ(rows[4].name, "Web Browser");
    ASSERT_NE(rows[3].configure, nullptr);
    click(rows[3].configure);
    ASSERT_NE(library.launcherSheet(), nullptr);
    EXPECT_EQ(library.launcherSheet()->applicationPicker()->currentText(), "Terminal");
    library.launcherSheet()->reject();

    click(library.instanceRows()[0].show);
    EXPECT_EQ(store->preferences().board, Board::focus);
    EXPECT_EQ(store->settingsTab(), SettingsTab::layouts);
    EXPECT_EQ(view->layouts()->editing().board(), Board::focus);

    library.searchField()->setText("nothing like this");
    EXPECT_TRUE(library.instanceRows().isEmpty());
    EXPECT_TRUE(library.emptyHint()->isVisibleTo(&library));

    // "Add to Page…" opens the layouts with the widget waiting for a section; a full page says
    // how to make room.
    store->setSettingsTab(SettingsTab::packages);
    click(library.installedTab());
    library.searchField()->setText("Agenda");
    EXPECT_TRUE(tap("package-add-to-page"));
    LayoutEditorView& layouts = *view->layouts();
    EXPECT_EQ(store->settingsTab(), SettingsTab::layouts);
    EXPECT_EQ(layouts.editing().placing(), "agenda");
    EXPECT_TRUE(layouts.hint()->text().startsWith(
            QString::fromUtf8("Every section of this page holds a widget. To make room for "
                              "“Agenda”, select a section and split it")))
            << layouts.hint()->text().toStdString();
    const QString last = layouts.editing().layout().sections.last().id;
    layouts.editing().select(last);
    click(layouts.arrangementButton(0)); // side by side: a new empty section beside it
    const PageLayout split = layouts.editing().layout();
    const auto empty = std::find_if(split.sections.begin(), split.sections.end(),
                                    [](const WidgetSection& s) { return !s.widget; });
    ASSERT_NE(empty, split.sections.end());
    EXPECT_TRUE(tap("layout-section-" + empty->id));
    EXPECT_EQ(layouts.editing().placing(), std::nullopt);
    EXPECT_TRUE(layouts.editing().selection()->widget->rawValue().startsWith("agenda@"));
    EXPECT_FALSE(layouts.cancelPlacingButton()->isVisibleTo(&layouts));
}

TEST_F(SettingsViewTest, ALargeLibraryCostsAScreenfulAndChangesElsewhereLeaveItAlone) {
    SettingsView& settings = openSettings();
    const qsizetype widgets = settings.findChildren<QWidget*>().size();
    const int custom = 300;
    const PackageBuilder builder(store->widgets().installedDirectory());
    for (int n = 0; n < custom; ++n)
        builder.write(QString("w%1.tarnwidget").arg(n),
                      PackageBuilder::validManifest(QString("com.example.w%1").arg(n)));
    store->widgets().reload();
    for (const SettingsTab tab : {SettingsTab::layouts, SettingsTab::packages}) {
        store->setSettingsTab(tab);
        QCoreApplication::processEvents();
    }
    EXPECT_LT(settings.findChildren<QWidget*>().size(), widgets + custom / 10);

    // A widget's storage written and a heartbeat: neither list is drawn again, nor are the
    // package's details made again.
    QList<QPointer<QLabel>> labels;
    for (QLabel* label : settings.library()->findChildren<QLabel*>())
        labels.append(label);
    QObject watching;
    int redrawn = 0;
    for (PackageList* list :
         {settings.library()->packageList(), settings.layouts()->libraryList()}) {
        ASSERT_GT(list->rows().size(), custom);
        QObject::connect(list->model(), &QAbstractItemModel::modelReset, &watching,
                         [&] { ++redrawn; });
        QObject::connect(list->model(), &QAbstractItemModel::dataChanged, &watching,
                         [&] { ++redrawn; });
    }
    store->updatePreferences([](Preferences& p) { p.widgetStorage["clock@1"] = {{"k", "v"}}; });
    clock->advance(1);
    store->tick(clock->now());
    QCoreApplication::processEvents();
    EXPECT_EQ(redrawn, 0);
    EXPECT_EQ(labels.count(nullptr), 0);
}

TEST_F(SettingsViewTest, LibrariesShowThePackagesInViewDrawnOncePerVersion) {
    QTemporaryDir cache;
    QStringList drawn;
    bool fails = false;
    const PackagePreviews::Renderer renderer = [&](const PackagePreviews::Render& render, QObject*,
                                                   std::function<void(bool)> done) {
        drawn.append(QFileInfo(render.packageFolder).completeBaseName());
        QImage picture(render.size, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        done(!fails && picture.save(render.picture));
    };
    previews = std::make_unique<PackagePreviews>(cache.path(), renderer);
    SettingsView& settings = openSettings();
    PackageList* library = settings.library()->packageList();
    PackageList* layouts = settings.layouts()->libraryList();
    const auto pictureOf = [](PackageList* list, const QString& id) {
        for (const PackageList::Row& row : list->rows())
            if (row.id == id)
                return row.preview;
        ADD_FAILURE() << "no row for " << id.toStdString();
        return QImage();
    };
    const auto settle = [] {
        for (int turn = 0; turn < 50; ++turn)
            QCoreApplication::processEvents();
    };
    store->setSettingsTab(SettingsTab::packages);
    settle();
    // The rows in view, and no others: the first has its picture, the last a placeholder.
    const QString first = library->rows().first().id;
    const QString last = library->rows().last().id;
    EXPECT_FALSE(pictureOf(library, first).isNull());
    EXPECT_TRUE(pictureOf(library, last).isNull());
    EXPECT_TRUE(settings.library()->detailsPreview()->isVisible());
    library->scrollToBottom();
    settle();
    EXPECT_FALSE(pictureOf(library, last).isNull());
    // The other library shows the same pictures without drawing them again.
    store->setSettingsTab(SettingsTab::layouts);
    settle();
    EXPECT_FALSE(pictureOf(layouts, first).isNull());
    EXPECT_EQ(QSet<QString>(drawn.begin(), drawn.end()).size(), drawn.size())
            << drawn.join(' ').toStdString();
    EXPECT_LT(drawn.size(), store->widgets().packages().size());

    // A later run takes them from the cache folder.
    const qsizetype drawings = drawn.size();
    PackagePreviews later(cache.path(), renderer);
    const WidgetPackage firstPackage = *store->widgets().package(first);
    later.request(firstPackage);
    EXPECT_FALSE(later.picture(firstPackage).isNull());
    EXPECT_EQ(drawn.size(), drawings);

    // A custom package is drawn, and drawn again in a new version, whose picture replaces it.
    settings.layouts()->searchField()->setText("Clock");
    const PackageBuilder builder(store->widgets().installedDirectory());
    QJsonObject manifest = PackageBuilder::validManifest("com.example.drawn");
    builder.write("drawn.tarnwidget", manifest);
    store->widgets().reload();
    // A placeholder until the picture comes.
    EXPECT_TRUE(pictureOf(layouts, "com.example.drawn").isNull());
    settle();
    EXPECT_FALSE(pictureOf(layouts, "com.example.drawn").isNull());
    const qsizetype cached = QDir(cache.path()).entryList(QDir::Files).size();
    manifest["version"] = "2.0";
    builder.write("drawn.tarnwidget", manifest);
    store->widgets().reload();
    settle();
    EXPECT_EQ(drawn.count("drawn"), 2);
    EXPECT_EQ(QDir(cache.path()).entryList(QDir::Files).size(), cached);

    // A package that cannot be drawn keeps its placeholder, without a word, and is not tried
    // again in this run.
    fails = true;
    builder.write("broken.tarnwidget", PackageBuilder::validManifest("com.example.broken"));
    store->widgets().reload();
    settle();
    layouts->viewport()->update();
    settle();
    EXPECT_EQ(drawn.count("broken"), 1);
    EXPECT_TRUE(pictureOf(layouts, "com.example.broken").isNull());
    EXPECT_TRUE(dialogs.asked.isEmpty());
}

TEST_F(SettingsViewTest, QuickLaunchSheetChecksTheApplicationBeforeSaving) {
    openSettings();
    const QString instance = "shortcuts@example-v2-2-2";
    LauncherSettingsSheet sheet({*store, *touch, screens, dialogs, desktop, "0.1.0"}, instance,
                                window.get());
    QComboBox* picker = sheet.applicationPicker();
    QStringList names;
    for (int index = 0; index < picker->count(); ++index)
        names.append(picker->itemText(index));
    EXPECT_EQ(names, QStringList({"Files", "Notes", "Settings", "Terminal", "Web Browser", "Music",
                                  "Custom application…"}));
    EXPECT_EQ(picker->itemData(4).toString(), "com.apple.Safari");
    EXPECT_FALSE(sheet.customPanel()->isVisibleTo(&sheet));

    emit picker->activated(6);
    EXPECT_TRUE(sheet.customPanel()->isVisibleTo(&sheet));
    EXPECT_EQ(sheet.pathField()->placeholderText(), PlatformTexts::applicationPathPlaceholder());
    click(sheet.saveButton());
    EXPECT_EQ(sheet.errorLabel()->text(), PlatformTexts::invalidApplication());
    EXPECT_FALSE(store->preferences().launchers.contains(instance));
    QTest::keyClicks(sheet.pathField(), "relative/editor.desktop");
    EXPECT_TRUE(sheet.errorLabel()->text().isEmpty()) << "an edit clears the message";
    click(sheet.saveButton());
    EXPECT_EQ(sheet.errorLabel()->text(), PlatformTexts::invalidApplication());

    click(sheet.browseButton());
    ASSERT_EQ(dialogs.choosers.size(), 1);
    EXPECT_EQ(dialogs.choosers[0].title, "Choose an application");
    EXPECT_EQ(dialogs.choosers[0].folder, PlatformTexts::applicationsFolder());
    EXPECT_FALSE(sheet.chosenLabel()->isVisibleTo(&sheet)) << "no application there";
    const QString app =
            ::writeFile(folder.filePath("org.gnome.TextEditor.desktop"), "[Desktop Entry]\n");
    launcher->names[app] = "Text Editor";
    dialogs.choose(app);
    EXPECT_EQ(sheet.pathField()->text(), app);
    EXPECT_EQ(sheet.chosenLabel()->text(), "Opens Text Editor");
    click(sheet.saveButton());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(store->preferences().launchers.value(instance),
              (LauncherConfiguration{"custom", app}));

    // Cancel keeps what was stored.
    LauncherSettingsSheet again({*store, *touch, screens, dialogs, desktop, "0.1.0"}, instance,
                                window.get());
    emit again.applicationPicker()->activated(0);
    click(again.cancelButton());
    EXPECT_EQ(store->preferences().launchers.value(instance).application, "custom");
}

TEST_F(SettingsViewTest, AHandEditedFileWithOddLayoutsIsEditedWithoutHarm) {
    // Overlapping sections (dropped by the reader), a widget whose package is gone, a widget
    // list without a layout, a chosen display that is not attached, and a launcher without
    // its application.
    writeFile("preferences.json", R"({"orientation":"vertical","pageCount":3,"board":"System",
        "displayID":999,"launchers":{"shortcuts@odd":{"application":"custom","path":""}},
        "widgetOrders":{"System":["cpu","shortcuts@odd","cpu"]},
        "pageLayouts":{"Overview":{"sections":[{"id":"a","widget":"gone@x","x":0,"y":0,
        "width":1,"height":1}]},"Focus":{"sections":[{"id":"a","x":0,"y":0,"width":0.7,
        "height":1},{"id":"b","x":0.5,"y":0,"width":0.5,"height":1}]}}})");
    SettingsView& settings = openSettings(QSize(1080, 630));
    EXPECT_EQ(settings.general()->displayPicker()->currentText(), "Display 999 · not connected");
    LayoutEditorView& layouts = editor();
    for (const Board board : store->pages()) {
        EXPECT_TRUE(tap("layout-page-" + rawValue(board)));
        for (const WidgetSection& section : layouts.editing().layout().sections) {
            EXPECT_TRUE(tap("layout-section-" + section.id));
            for (int index = 0; index < 3; ++index)
                click(layouts.arrangementButton(index));
            EXPECT_TRUE(layouts.editing().layout().oriented(LayoutOrientation::vertical).isValid());
        }
    }
    EXPECT_TRUE(tap("layout-page-Overview"));
    EXPECT_EQ(layouts.map()->tiles().first()->label(), "unavailable widget");
    EXPECT_TRUE(tap("layout-section-a"));
    EXPECT_EQ(layouts.inspectorTitle()->text(), "Widget unavailable");
    store->setSettingsTab(SettingsTab::packages);
    click(view->library()->pagesTab());
    bool named = false;
    for (const auto& row : view->library()->instanceRows())
        named = named || row.name == "Choose an app";
    EXPECT_TRUE(named);
}

} // namespace
