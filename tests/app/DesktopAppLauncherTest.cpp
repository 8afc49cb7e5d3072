#include "desktop/linux/DesktopAppLauncher.h"

#include "desktop/linux/CanberraSound.h"
#include "model/LauncherConfiguration.h"
#include "support/EventLoop.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// XDG folders in a temporary tree: config home, one config dir, data home and two data dirs.
struct XdgTree {
    QTemporaryDir root;

    DesktopAppLauncher::Folders folders(QStringList desktops = {}) const {
        return {root.filePath("config"),
                {root.filePath("etc-xdg")},
                root.filePath("data"),
                {root.filePath("local-share"), root.filePath("share")},
                desktops,
                QString()};
    }
    void write(const QString& relative, const QByteArray& contents) {
        writeFile(root.filePath(relative), contents);
    }
    void app(const QString& folder, const QString& id, const QByteArray& extra = {}) {
        write(folder + "/applications/" + id + ".desktop",
              "[Desktop Entry]\nType=Application\nName=" + id.toUtf8() + "\nExec=/bin/true\n" +
                      extra);
    }
    QString path(const QString& relative) const { return root.filePath(relative); }
};

DesktopEntry entryWithExec(const QString& exec) {
    DesktopEntry entry;
    entry.file = "/apps/editor.desktop";
    entry.type = "Application";
    entry.name = "Editor";
    entry.icon = "editor";
    entry.exec = exec;
    return entry;
}

} // namespace

TEST(DesktopEntry, ReadsTheDesktopEntryGroupOnly) {
    XdgTree tree;
    tree.write("a.desktop", "# comment\n[Desktop Entry]\nType=Application\nName=Files\n"
                            "Name[de]=Dateien\nExec=nautilus --new-window %U\n"
                            "Categories=GNOME;Utility;Core;\nPath=/tmp\\sdir\n"
                            "[Desktop Action new]\nExec=other\n");
    const auto entry = DesktopEntry::read(tree.path("a.desktop"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "Files");
    EXPECT_EQ(entry->exec, "nautilus --new-window %U");
    EXPECT_EQ(entry->categories, QStringList({"GNOME", "Utility", "Core"}));
    EXPECT_EQ(entry->workingDirectory, "/tmp dir");
    EXPECT_TRUE(entry->isApplication());
    EXPECT_EQ(entry->arguments(), QStringList({"nautilus", "--new-window"}));

    tree.write("b.desktop", "[Other]\nExec=x\n");
    EXPECT_FALSE(DesktopEntry::read(tree.path("b.desktop")));
    EXPECT_FALSE(DesktopEntry::read(tree.path("missing.desktop")));
    tree.write("link.desktop", "[Desktop Entry]\nType=Link\nURL=https://example.org\n");
    EXPECT_FALSE(DesktopEntry::read(tree.path("link.desktop"))->isApplication());

    // The localised Name for the user's language, with the desktop entry rules' fallbacks.
    EXPECT_EQ(DesktopEntry::read(tree.path("a.desktop"), "de_AT.UTF-8@euro")->name, "Dateien");
    EXPECT_EQ(DesktopEntry::read(tree.path("a.desktop"), "C")->name, "Files");
    EXPECT_EQ(DesktopEntry::localeMatches("sr_RS.UTF-8@latin"),
              QStringList({"sr_RS@latin", "sr_RS", "sr@latin", "sr"}));
    EXPECT_EQ(DesktopEntry::localeMatches("pt_BR"), QStringList({"pt_BR", "pt"}));
    EXPECT_TRUE(DesktopEntry::localeMatches("POSIX").isEmpty());
}

TEST(DesktopEntry, ExecQuotingAndFieldCodes) {
    EXPECT_EQ(entryWithExec(R"("/opt/My App/run" --title "a \"b\" \\ c" %F)").arguments(),
              QStringList({"/opt/My App/run", "--title", R"(a "b" \ c)"}));
    EXPECT_EQ(entryWithExec("editor %i --name=%c --file %k 100%%").arguments(),
              QStringList({"editor", "--icon", "editor", "--name=Editor", "--file",
                           "/apps/editor.desktop", "100%"}));
    EXPECT_EQ(entryWithExec("editor  \t %u").arguments(), QStringList({"editor"}));
    EXPECT_FALSE(entryWithExec(R"(editor "unterminated)").arguments());
    EXPECT_FALSE(entryWithExec("%f").arguments());
    EXPECT_FALSE(entryWithExec("").arguments());
}

TEST(DesktopAppLauncher, DesktopFileIdsFollowTheDataFolderOrder) {
    XdgTree tree;
    tree.app("share", "org.example.Editor");
    tree.app("local-share", "org.example.Editor");
    DesktopAppLauncher launcher(tree.folders());
    EXPECT_EQ(launcher.locate("org.example.Editor"),
              tree.path("local-share/applications/org.example.Editor.desktop"));
    // A hidden entry in the user's folder removes the application.
    tree.app("data", "org.example.Editor", "Hidden=true\n");
    EXPECT_FALSE(launcher.locate("org.example.Editor"));
    EXPECT_FALSE(launcher.locate("org.example.Missing"));
    EXPECT_FALSE(launcher.locate("../escape"));
    EXPECT_FALSE(launcher.locate(""));
}

TEST(DesktopAppLauncher, StandardApplicationsAreTheDesktopsDefaults) {
    XdgTree tree;
    tree.app("share", "org.gnome.Nautilus");
    tree.app("share", "thunar");
    tree.app("share", "firefox-esr");
    tree.app("share", "gedit");
    tree.app("share", "rhythmbox");
    tree.write("share/applications/mimeinfo.cache",
               "[MIME Cache]\ninode/directory=thunar.desktop;org.gnome.Nautilus.desktop;\n"
               "text/html=firefox-esr.desktop;\naudio/mpeg=rhythmbox.desktop;\n");
    tree.write("config/mimeapps.list",
               "[Added Associations]\ntext/plain=gedit.desktop;\n"
               "[Default Applications]\ninode/directory=not-installed.desktop;"
               "org.gnome.Nautilus.desktop\n");
    DesktopAppLauncher launcher(tree.folders());
    EXPECT_EQ(launcher.locate("com.apple.finder"),
              tree.path("share/applications/org.gnome.Nautilus.desktop"));
    EXPECT_EQ(launcher.locate("com.apple.Safari"),
              tree.path("share/applications/firefox-esr.desktop"));
    EXPECT_EQ(launcher.locate("com.apple.Notes"), tree.path("share/applications/gedit.desktop"));
    EXPECT_EQ(launcher.locate("com.apple.Music"),
              tree.path("share/applications/rhythmbox.desktop"));

    // The desktop's own list comes before the general one.
    tree.write("config/xfce-mimeapps.list",
               "[Default Applications]\ninode/directory=thunar.desktop\n");
    EXPECT_EQ(DesktopAppLauncher(tree.folders({"xfce"})).locate("com.apple.finder"),
              tree.path("share/applications/thunar.desktop"));
}

TEST(DesktopAppLauncher, TerminalAndSettingsByNameOrCategory) {
    XdgTree tree;
    DesktopAppLauncher launcher(tree.folders());
    EXPECT_FALSE(launcher.locate("com.apple.Terminal"));
    tree.app("share", "sakura", "Categories=System;TerminalEmulator;\n");
    EXPECT_EQ(launcher.locate("com.apple.Terminal"),
              tree.path("share/applications/sakura.desktop"));
    tree.app("share", "org.gnome.Console");
    EXPECT_EQ(launcher.locate("com.apple.Terminal"),
              tree.path("share/applications/org.gnome.Console.desktop"));
    tree.app("share", "systemsettings");
    EXPECT_EQ(launcher.locate("com.apple.systempreferences"),
              tree.path("share/applications/systemsettings.desktop"));
}

TEST(DesktopAppLauncher, CustomLaunchersAreNamedAsTheDesktopNamesThem) {
    XdgTree tree;
    tree.write("data/applications/org.gnome.TextEditor.desktop",
               "[Desktop Entry]\nType=Application\nName=Text Editor\nName[de]=Texteditor\n"
               "Name[pt_BR]=Editor de Texto\nExec=/bin/true\n");
    const QString file = tree.path("data/applications/org.gnome.TextEditor.desktop");
    const LauncherConfiguration chosen{"custom", file};
    DesktopAppLauncher launcher(tree.folders());
    EXPECT_EQ(chosen.name(&launcher), "Text Editor");
    EXPECT_EQ(chosen.shortcut(launcher).name, "Text Editor");
    const auto inLanguage = [&](const QString& locale) {
        DesktopAppLauncher::Folders folders = tree.folders();
        folders.messagesLocale = locale;
        DesktopAppLauncher localised(folders);
        return chosen.name(&localised);
    };
    EXPECT_EQ(inLanguage("de_CH.UTF-8"), "Texteditor");
    EXPECT_EQ(inLanguage("pt_BR.UTF-8"), "Editor de Texto");
    EXPECT_EQ(inLanguage("pt_PT.UTF-8"), "Text Editor");
    // A program keeps its file name.
    EXPECT_EQ((LauncherConfiguration{"custom", "/bin/true"}).name(&launcher), "true");

    // An unchanged entry is not read again; a changed one is.
    QFile entry(file);
    ASSERT_TRUE(entry.open(QIODevice::ReadWrite));
    const QDateTime modified = entry.fileTime(QFileDevice::FileModificationTime);
    entry.resize(0);
    entry.write("[Desktop Entry]\nType=Application\nName=Editor\nExec=/bin/true\n");
    entry.flush();
    ASSERT_TRUE(entry.setFileTime(modified, QFileDevice::FileModificationTime));
    entry.close();
    EXPECT_EQ(chosen.name(&launcher), "Text Editor");
    ASSERT_TRUE(entry.open(QIODevice::ReadWrite));
    ASSERT_TRUE(entry.setFileTime(modified.addSecs(1), QFileDevice::FileModificationTime));
    entry.close();
    EXPECT_EQ(chosen.name(&launcher), "Editor");
}

TEST(DesktopAppLauncher, OpensDesktopEntriesAndExecutables) {
    XdgTree tree;
    const QString marker = tree.path("opened");
    tree.write("share/applications/marker.desktop",
               "[Desktop Entry]\nType=Application\nName=Marker\nExec=/bin/sh -c \"echo %c > " +
                       marker.toUtf8() + "\" %U\n");
    DesktopAppLauncher launcher(tree.folders());
    std::optional<std::optional<QString>> result;
    launcher.open(tree.path("share/applications/marker.desktop"),
                  [&](const std::optional<QString>& error) { result = error; });
    ASSERT_TRUE(result);
    EXPECT_FALSE(*result);
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(marker); }));
    QFile written(marker);
    ASSERT_TRUE(waitUntil([&] { return written.size() > 0; }));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "Marker\n");

    const auto openError = [&](const QString& location) {
        std::optional<QString> error;
        launcher.open(location, [&](const std::optional<QString>& e) { error = e; });
        return error;
    };
    tree.write("plain.txt", "text");
    EXPECT_EQ(openError(tree.path("plain.txt")),
              QString::fromUtf8("“plain.txt” is not an application."));
    tree.write("broken.desktop", "[Desktop Entry]\nType=Application\nExec=\"oops\n");
    EXPECT_EQ(openError(tree.path("broken.desktop")),
              QString::fromUtf8("“broken.desktop” is not an application."));
    tree.write("ghost.desktop", "[Desktop Entry]\nType=Application\nExec=no-such-program-here\n");
    EXPECT_TRUE(openError(tree.path("ghost.desktop")));
    EXPECT_FALSE(openError("/bin/true"));
}

TEST(CanberraSound, PlaysWhenTheLibraryIsThereAndIsSilentOtherwise) {
    CanberraSound sound;
    const bool installed = QFile::exists("/usr/lib/x86_64-linux-gnu/libcanberra.so.0") ||
                           QFile::exists("/usr/lib/libcanberra.so.0");
    EXPECT_EQ(sound.isAvailable(), installed);
    // Without a sound server or theme the request fails quietly.
    sound.play();
    sound.play();
}
