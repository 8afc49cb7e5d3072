// What the widget library shows and how installing goes, on a store with the included widgets
// and custom packages in temporary folders.
#include "settings/PackageLibrary.h"

#include "support/PackageBuilder.h"
#include "support/StoreFixture.h"

#include <QJsonArray>

namespace {

struct PackageLibraryTest : StoreFixture {
    TarnStore& start() {
        customize = [](TarnStore::Environment& environment) {
            environment.resources = QStringLiteral(TABLORA_RESOURCES_DIRECTORY);
        };
        return open();
    }
    QStringList ids(const QString& search, const QString& category) const {
        QStringList found;
        for (const WidgetPackage& package : PackageLibrary::matches(*store, search, category))
            found.append(package.id());
        return found;
    }
};

TEST_F(PackageLibraryTest, SearchIsByNameOnlyAndTheCategoryNarrows) {
    start();
    EXPECT_EQ(ids("", PackageLibrary::allCategories).size(), store->widgets().packages().size());
    EXPECT_EQ(ids("focus TIM", PackageLibrary::allCategories), QStringList({"timer"}));
    EXPECT_TRUE(ids("spotify", PackageLibrary::allCategories).isEmpty()) << "an identity";
    EXPECT_TRUE(ids("Tablora", PackageLibrary::allCategories).isEmpty()) << "an author";
    for (const WidgetPackage& package : PackageLibrary::matches(*store, "", "Monitoring"))
        EXPECT_EQ(package.manifest.categoryName(), "Monitoring");
    EXPECT_TRUE(ids("Focus", "Monitoring").isEmpty());

    const auto matches = PackageLibrary::matches(*store, "", PackageLibrary::allCategories);
    EXPECT_EQ(PackageLibrary::selected(matches, QString("cpu"))->id(), "cpu");
    EXPECT_EQ(PackageLibrary::selected(matches, QString("gone"))->id(), matches.first().id());
    EXPECT_FALSE(PackageLibrary::selected({}, QString("cpu")));
}

TEST_F(PackageLibraryTest, InstancesNamePagesAndLaunchers) {
    start();
    // Named as the desktop names the application, not after its file.
    launcher->names["/opt/org.gnome.TextEditor.desktop"] = "Text Editor";
    store->updatePreferences([](Preferences& p) {
        p.launchers.insert("shortcuts@example-v2-2-2",
                           {"custom", "/opt/org.gnome.TextEditor.desktop"});
    });
    const auto all = PackageLibrary::matches(*store, "", PackageLibrary::allCategories);
    QStringList shown;
    for (const PackageLibrary::Instance& instance : PackageLibrary::instances(*store, all))
        shown.append(QString("Page %1 %2 %3")
                             .arg(instance.pageNumber)
                             .arg(instance.package.id(), instance.launcherName.value_or("-")));
    // The focus page: today, agenda, then six launchers with the standard applications in turn.
    EXPECT_EQ(shown.mid(5, 5),
              QStringList({"Page 2 today -", "Page 2 agenda -", "Page 2 shortcuts Text Editor",
                           "Page 2 shortcuts Notes", "Page 2 shortcuts Settings"}));
    EXPECT_EQ(shown.first(), "Page 1 cpu -");
    EXPECT_EQ(shown.last(), "Page 3 spotify-controls -");

    // The filters apply to the instances too.
    const auto launchers =
            PackageLibrary::matches(*store, "Shortcut", PackageLibrary::allCategories);
    EXPECT_EQ(PackageLibrary::instances(*store, launchers).size(), 6);
}

TEST_F(PackageLibraryTest, DetailsAndTheInstallConfirmation) {
    start();
    WidgetManifest manifest = WidgetManifest::fromJson(PackageBuilder::validManifest());
    EXPECT_EQ(PackageLibrary::installMessage(manifest), "Install Clock?");
    EXPECT_EQ(PackageLibrary::installInformative(manifest),
              "By Tests, version 1.0.\n\nRequested access: clock and theme only.\n\nNetwork: "
              "none.\n\nAn installed package with the same ID will be replaced.");
    // Declared, but empty: no origin at all.
    manifest.networkOrigins = QStringList();
    EXPECT_TRUE(PackageLibrary::installInformative(manifest).contains("Network: none."));
    manifest.permissions = {"metrics", "network"};
    manifest.networkOrigins = QStringList{"https://a.example", "https://b.example"};
    EXPECT_EQ(PackageLibrary::installInformative(manifest),
              "By Tests, version 1.0.\n\nRequested access: metrics, network.\n\nNetwork: "
              "https://a.example, https://b.example.\n\nAn installed package with the same ID "
              "will be replaced.");

    const auto rows = [](const WidgetPackage& package) {
        QStringList text;
        for (const PackageLibrary::DetailRow& row : PackageLibrary::details(package))
            text.append(row.label + ": " + row.value);
        return text;
    };
    EXPECT_EQ(rows(WidgetPackage{manifest, "/x", false}),
              QStringList({"Developer: Tests", "Version: 1.0", "Source: Custom widget",
                           "Access: metrics, network",
                           "Network: https://a.example\nhttps://b.example"}));
    // No "Network" row without origins; included packages say so.
    const WidgetPackage cpu = *store->widgets().package(QString("cpu"));
    EXPECT_EQ(rows(cpu), QStringList({"Developer: Tablora", "Version: 1.0",
                                      "Source: Included with Tablora", "Access: metrics"}));
    manifest.permissions.clear();
    EXPECT_EQ(rows(WidgetPackage{manifest, "/x", true})[3], "Access: Clock and theme only");
}

TEST_F(PackageLibraryTest, InstallingChecksTheFolderAndKeepsTheSetOnFailure) {
    start();
    PackageBuilder builder(folder.filePath("picked"));
    const QString plain = builder.write("Clock");
    EXPECT_EQ(PackageLibrary::examine(plain).error, "Choose a .tarnwidget folder");
    EXPECT_EQ(PackageLibrary::examine(plain + ".TARNWIDGET").error, "Choose a .tarnwidget folder");

    QJsonObject broken = PackageBuilder::validManifest();
    broken["id"] = "Not An ID";
    const QString invalid = builder.write("broken.tarnwidget", broken);
    EXPECT_EQ(PackageLibrary::examine(invalid).error, "Invalid widget identity");
    const auto before = store->widgets().packages();
    EXPECT_EQ(PackageLibrary::install(*store, invalid), "Invalid widget identity");
    EXPECT_EQ(store->widgets().packages(), before);

    const QString good = builder.write("clock.tarnwidget");
    const auto candidate = PackageLibrary::examine(good);
    ASSERT_TRUE(candidate.package) << candidate.error.toStdString();
    EXPECT_EQ(PackageLibrary::install(*store, good), "");
    ASSERT_TRUE(store->widgets().package(QString("com.example.clock")));

    // A folder that went away between choosing and installing.
    QDir(good).removeRecursively();
    EXPECT_EQ(PackageLibrary::install(*store, good),
              QString::fromUtf8("“clock.tarnwidget” is no longer there. Choose the folder again."));
    EXPECT_EQ(PackageLibrary::examine(good).error,
              QString::fromUtf8("“clock.tarnwidget” is no longer there. Choose the folder again."));

    const TemporaryTrash trash;
    const WidgetPackage installed = *store->widgets().package(QString("com.example.clock"));
    EXPECT_EQ(PackageLibrary::uninstall(*store, installed), "");
    EXPECT_FALSE(store->widgets().package(QString("com.example.clock")));
}

} // namespace
