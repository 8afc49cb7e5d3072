#include "model/LauncherConfiguration.h"

#include "model/WidgetError.h"
#include "support/TestFiles.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Anything that is a file counts as an application named after it.
class FileApplications : public AppLauncher {
public:
    std::optional<QString> locate(const QString&) override { return std::nullopt; }
    std::optional<Application> inspect(const QString& path) override {
        if (!QFileInfo(path).isFile())
            return std::nullopt;
        return Application{QFileInfo(path).completeBaseName(), "org.example.editor"};
    }
    void open(const QString&, Completion completion) override { completion(std::nullopt); }
};

QString failure(const LauncherConfiguration& configuration, AppLauncher& applications) {
    try {
        configuration.shortcut(applications);
        return "ok";
    } catch (const WidgetError& error) {
        return error.message();
    }
}

} // namespace

TEST(LauncherConfiguration, StandardApplications) {
    QStringList names;
    for (const Shortcut& app : LauncherConfiguration::standard())
        names.append(app.name);
    // Shown with the Linux desktop's names; the stored identifiers are the original ones.
    EXPECT_EQ(names,
              QStringList({"Files", "Notes", "Settings", "Terminal", "Web Browser", "Music"}));
    EXPECT_EQ(LauncherConfiguration::standard()[4].bundleID, "com.apple.Safari");
    // Built once: the same identities every time.
    EXPECT_EQ(LauncherConfiguration::standard()[0].id, LauncherConfiguration::standard()[0].id);

    FileApplications applications;
    const LauncherConfiguration terminal{"com.apple.Terminal", ""};
    EXPECT_EQ(terminal.standardApp()->symbol, "terminal");
    EXPECT_EQ(terminal.name(nullptr), "Terminal");
    EXPECT_EQ(terminal.shortcut(applications), LauncherConfiguration::standard()[3]);
    EXPECT_EQ((LauncherConfiguration{"custom", ""}).name(nullptr), "Choose an app");
    EXPECT_EQ((LauncherConfiguration{"custom", "/usr/share/applications/org.gnome.Files.desktop"})
                      .name(nullptr),
              "org.gnome.Files");
}

TEST(LauncherConfiguration, CustomApplications) {
    QTemporaryDir home;
    const QByteArray previousHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const QString app = writeFile(home.filePath("Apps/Editor.desktop"), "[Desktop Entry]\n");
    FileApplications applications;

    const Shortcut shortcut =
            LauncherConfiguration{"custom", "  ~/Apps/./Editor.desktop \n"}.shortcut(applications);
    EXPECT_EQ(shortcut.path, app);
    EXPECT_EQ(shortcut.name, "Editor");
    EXPECT_EQ(shortcut.bundleID, "org.example.editor");
    EXPECT_FALSE(shortcut.id.isNull());

    const QString message = "Choose a valid application (a .desktop file or a program).";
    EXPECT_EQ(failure({"custom", ""}, applications), message);
    EXPECT_EQ(failure({"custom", "Apps/Editor.desktop"}, applications), message);
    EXPECT_EQ(failure({"custom", home.filePath("Apps/Missing.desktop")}, applications), message);
    EXPECT_EQ(failure({"com.example.unknown", ""}, applications), message);
    qputenv("HOME", previousHome);
}

TEST(LauncherConfiguration, ExampleDefaults) {
    EXPECT_EQ(LauncherConfiguration::exampleDefault("shortcuts@example-v2-2-5").application,
              "com.apple.Terminal");
    EXPECT_EQ(LauncherConfiguration::exampleDefault("shortcuts@example-v2-2-2").application,
              "com.apple.finder");
    EXPECT_EQ(LauncherConfiguration::exampleDefault("shortcuts@example-v2-2-7-copy-X").application,
              "com.apple.Music");
    EXPECT_EQ(LauncherConfiguration::exampleDefault("shortcuts@example-v2-2-+4").application,
              "com.apple.systempreferences");
    EXPECT_EQ(LauncherConfiguration::exampleDefault("shortcuts@example-v2-2-8").application,
              "com.apple.finder");
    EXPECT_EQ(LauncherConfiguration::exampleDefault("notes@example-v2-2-5").application,
              "com.apple.finder");
    EXPECT_EQ(LauncherConfiguration::exampleDefault("shortcuts@example-v2-2-x").path, "");
}
