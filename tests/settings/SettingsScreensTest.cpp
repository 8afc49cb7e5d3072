// Every tab of the settings window at the window's default and minimum size: nothing cut off,
// nothing outside the window. With TABLORA_SCREENSHOTS set to a folder, each is saved there.
#include "settings/GeneralSettingsView.h"
#include "settings/LayoutEditorView.h"
#include "settings/WidgetLibraryView.h"
#include "support/SettingsFixture.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QScrollArea>

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
        const QString name = button ? button->text() + "|" + button->accessibleName()
                                    : label->text().left(40);
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
    }
    return problems;
}

TEST_F(SettingsScreens, EveryTabFitsAtTheDefaultAndTheMinimumSize) {
    openStore();
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
            QCoreApplication::processEvents();
            // The content fits the window: the window kept its size.
            EXPECT_EQ(window->size(), size) << int(tab);
            const QStringList problems = cutOff(window.get());
            EXPECT_TRUE(problems.isEmpty()) << int(tab) << " at " << size.height() << ": "
                                            << problems.join("; ").toStdString();
            if (!screenshots.isEmpty()) {
                QDir().mkpath(screenshots);
                window->grab().save(QDir(screenshots).filePath(
                        QStringLiteral("settings-%1-%2.png").arg(int(tab)).arg(size.height())));
            }
        }
    }
}

} // namespace
