// The desktop's own dialogs behind the settings window's questions: open without a loop of their
// own, one answer each, Return and Escape as the alert says.
#include "settings/SettingsDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

template <typename Dialog> Dialog* openDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<Dialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

TEST(WidgetSettingsDialogs, AlertsAnswerWithTheChosenButton) {
    WidgetSettingsDialogs dialogs;
    QList<int> answers;
    const SettingsDialogs::Alert alert{
            "Delete Page 2?", "This cannot be undone.", {"Delete Page", "Cancel"}, 1};
    dialogs.ask(nullptr, alert, [&](int button) { answers.append(button); });
    auto* box = openDialog<QMessageBox>();
    ASSERT_NE(box, nullptr) << "the call returned with the alert open";
    EXPECT_EQ(box->text(), "Delete Page 2?");
    EXPECT_EQ(box->informativeText(), "This cannot be undone.");
    EXPECT_EQ(box->defaultButton()->text(), "Cancel") << "Return cancels";
    EXPECT_EQ(box->escapeButton()->text(), "Cancel");
    QTest::keyClick(box, Qt::Key_Escape);
    QTest::qWait(10);
    EXPECT_EQ(answers, QList<int>({1}));

    dialogs.ask(nullptr, alert, [&](int button) { answers.append(button); });
    box = openDialog<QMessageBox>();
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == "Delete Page")
            button->click();
    }
    QTest::qWait(10);
    EXPECT_EQ(answers, QList<int>({1, 0}));
}

TEST(WidgetSettingsDialogs, ChoosersAndTheColourWellAnswerOnce) {
    WidgetSettingsDialogs dialogs;
    QList<std::optional<QString>> chosen;
    dialogs.chooseApplication(nullptr, "Choose an application", "/usr/share/applications",
                              [&](const std::optional<QString>& path) { chosen.append(path); });
    auto* files = openDialog<QFileDialog>();
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->windowTitle(), "Choose an application");
    EXPECT_EQ(files->fileMode(), QFileDialog::ExistingFile);
    emit files->fileSelected("/usr/share/applications/editor.desktop");
    static_cast<QDialog*>(files)->done(QDialog::Accepted);
    QTest::qWait(10);
    EXPECT_EQ(chosen, QList<std::optional<QString>>({"/usr/share/applications/editor.desktop"}));

    dialogs.chooseFolder(nullptr, "Install a Tablora widget",
                         [&](const std::optional<QString>& path) { chosen.append(path); });
    files = openDialog<QFileDialog>();
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->fileMode(), QFileDialog::Directory);
    files->reject();
    QTest::qWait(10);
    ASSERT_EQ(chosen.size(), 2);
    EXPECT_FALSE(chosen[1]);

    QList<QColor> picked;
    dialogs.chooseColor(nullptr, "Primary · text", Qt::red,
                        [&](const QColor& colour) { picked.append(colour); });
    auto* colours = openDialog<QColorDialog>();
    ASSERT_NE(colours, nullptr);
    colours->reject();
    QTest::qWait(10);
    EXPECT_TRUE(picked.isEmpty()) << "cancelling picks nothing";
}

} // namespace
