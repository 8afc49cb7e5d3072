// Where the settings window finds the README it opens for the udev rule.
#include "settings/linux/DesktopSettingsActions.h"

#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(DesktopSettingsActions, FindsTheReadmeOfTheSourceTreeAndOfAnInstall) {
    QTemporaryDir folder;
    const QDir root(folder.path());
    QDir().mkpath(root.filePath("source/resources"));
    writeFile(root.filePath("source/README.md"), "# Tablora\n");
    EXPECT_EQ(DesktopSettingsActions(root.filePath("source/resources")).readme(),
              root.filePath("source/README.md"));

    QDir().mkpath(root.filePath("usr/share/tablora"));
    EXPECT_EQ(DesktopSettingsActions(root.filePath("usr/share/tablora")).readme(), "");
    writeFile(root.filePath("usr/share/doc/tablora/README.md"), "# Tablora\n");
    EXPECT_EQ(DesktopSettingsActions(root.filePath("usr/share/tablora")).readme(),
              root.filePath("usr/share/doc/tablora/README.md"));
}
