// Every tab of the settings window at the window's default and minimum size: nothing cut off,
// nothing outside the window. With TABLORA_SCREENSHOTS set to a folder, each is saved there.
#include "settings/GeneralSettingsView.h"
#include "settings/LauncherSettingsSheet.h"
#include "settings/LayoutEditorView.h"
#include "settings/PackagePreviews.h"
#include "settings/WidgetLibraryView.h"
#include "support/SettingsFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>

namespace {

struct SettingsScreens : SettingsFixture {};

// Widgets inside a scroll area may lie outside its viewport; everything else must be whole.
bool insideScrollArea(const QWidget* widget) {
    for (const QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget()) {
        if (qobject_cast<const QScrollArea*>(parent))
            return true;
    }
    return false;
}

QStringList cutOff(QWidget* root) {
    QStringList problems;
    const QRect bounds = root->rect();
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(root) || insideScrollArea(widget))
            continue;
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        const auto* label = qobject_cast<QLabel*>(widget);
        if (!button && !label)
            continue;
        const QRect frame(widget->mapTo(root, QPoint(0, 0)), widget->size());
        const QString name =
                button ? button->text() + "|" + button->accessibleName() : label->text().left(40);
        if (!bounds.contains(frame))
            problems.append(name + " lies outside the window");
        // Word-wrapped labels shrink by wrapping; everything else needs its minimum.
        const bool wraps = label && label->wordWrap();
        if (!wraps && widget->width() < widget->minimumSizeHint().width())
            problems.append(name + QStringLiteral(" is narrower than it needs (%1 < %2)")
                                           .arg(widget->width())
                                           .arg(widget->minimumSizeHint().width()));
        if (widget->height() < widget->minimumSizeHint().height())
            problems.append(name + " is lower than it needs");
        if (wraps && label->heightForWidth(label->width()) > label->height())
            problems.append(name + " has lines cut off");
    }
    return problems;
}

// Pictures of the included widgets from the README's gallery, as if drawn.
PackagePreviews::Renderer galleryPictures() {
    return [](const PackagePreviews::Render& render, QObject*, std::function<void(bool)> done) {
        const QString name = QFileInfo(render.packageFolder).completeBaseName() + ".png";
        done(QFile::copy(QStringLiteral(TABLORA_RESOURCES_DIRECTORY "/../docs/gallery/") + name,
                         render.picture));
    };
}

TEST_F(SettingsScreens, EveryTabFitsAtTheDefaultAndTheMinimumSize) {
    openStore();
    QTemporaryDir cache;
    previews = std::make_unique<PackagePreviews>(cache.path(), galleryPictures());
    // A selected section shows the whole inspector.
    const QString screenshots = qEnvironmentVariable("TABLORA_SCREENSHOTS");
    for (const QSize size : {QSize(1080, 700), QSize(1080, 630)}) {
        SettingsView& settings = openSettings(size);
        for (const SettingsTab tab :
             {SettingsTab::general, SettingsTab::layouts, SettingsTab::packages}) {
            store->setSettingsTab(tab);
            if (tab == SettingsTab::layouts) {
                LayoutEditing& editing = settings.layouts()->editing();
                editing.select(editing.layout().sections[1].id);
            }
            // Every package's picture has come.
            for (int turn = 0; turn < 100; ++turn)
                QCoreApplication::processEvents();
            // The content fits the window: the window kept its size.
            EXPECT_EQ(window->size(), size) << int(tab);
            const QStringList problems = cutOff(window.get());
            EXPECT_TRUE(problems.isEmpty()) << int(tab) << " at " << size.height() << ": "
                                            << problems.join("; ").toStdString();
            if (!screenshots.isEmpty()) {
                QDir().mkpath(screenshots);
                window->grab().save(QDir(screenshots)
                                            .filePath(QStringLiteral("settings-%1-%2.png")
                                                              .arg(int(tab))
                                                              .arg(size.height())));
            }
        }
    }
}

// The states a tab can be in beyond its first look: the vertical display's map, the placed
// widgets, a denied touchscreen's help, the launcher sheet.
TEST_F(SettingsScreens, OtherStatesFitToo) {
    openStore();
    const QString screenshots = qEnvironmentVariable("TABLORA_SCREENSHOTS");
    const auto check = [&](QWidget* shown, const QString& name) {
        QCoreApplication::processEvents();
        const QStringList problems = cutOff(shown);
        EXPECT_TRUE(problems.isEmpty())
                << name.toStdString() << ": " << problems.join("; ").toStdString();
        if (!screenshots.isEmpty())
            shown->grab().save(QDir(screenshots).filePath(name + ".png"));
    };
    store->updatePreferences([](Preferences& p) { p.orientation = LayoutOrientation::vertical; });
    SettingsView& settings = openSettings(QSize(1080, 630));
    store->setSettingsTab(SettingsTab::layouts);
    LayoutEditing& editing = settings.layouts()->editing();
    editing.select(editing.layout().sections[0].id);
    check(window.get(), "layouts-vertical");
    EXPECT_EQ(window->size(), QSize(1080, 630));

    store->setSettingsTab(SettingsTab::packages);
    settings.library()->setShowsInstances(true);
    check(window.get(), "library-on-your-pages");

    store->setSettingsTab(SettingsTab::layouts);
    editing.setBoard(Board::focus);
    editing.select(editing.layout().sections[2].id);
    QCoreApplication::processEvents();
    settings.layouts()->configureButton()->click();
    LauncherSettingsSheet* sheet = settings.layouts()->launcherSheet();
    ASSERT_NE(sheet, nullptr);
    emit sheet->applicationPicker()->activated(sheet->applicationPicker()->count() - 1);
    sheet->saveButton()->click();
    check(sheet, "launcher-sheet");
    EXPECT_TRUE(sheet->errorLabel()->isVisibleTo(sheet));
}

} // namespace
