#include "app/FileDialogChooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QFileDialog* openDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

} // namespace

TEST(FileDialogChooser, AsksWithoutBlockingAndAnswersOnce) {
    FileDialogChooser chooser;
    int answers = 0;
    std::optional<QString> answer = QString("unset");
    chooser.choose("Choose a Git project", false, [&](const std::optional<QString>& path) {
        ++answers;
        answer = path;
    });
    // The call returned with the dialog still open.
    QFileDialog* dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Choose a Git project");
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    dialog->reject();
    QTest::qWait(10);
    EXPECT_EQ(answers, 1);
    EXPECT_FALSE(answer);

    QTemporaryDir folder;
    chooser.choose("Choose a build log", true, [&](const std::optional<QString>& path) {
        ++answers;
        answer = path;
    });
    dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    emit dialog->fileSelected(folder.filePath("build.log"));
    static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
    QTest::qWait(10);
    EXPECT_EQ(answers, 2);
    EXPECT_EQ(answer, folder.filePath("build.log"));
}
