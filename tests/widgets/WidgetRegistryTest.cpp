#include "packages/WidgetRegistry.h"

#include "model/WidgetError.h"
#include "support/PackageBuilder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/time.h>

namespace {

// File operations whose moves can be made to fail from a chosen call on.
class FailingFolders : public PackageFolders {
public:
    int moves = 0;
    int failMoveNumber = -1; // 1-based; -1 never
    int failCopy = false;

    std::optional<QString> copy(const QString& from, const QString& to) override {
        if (failCopy)
            return QStringLiteral("disk full");
        return PackageFolders::copy(from, to);
    }
    std::optional<QString> move(const QString& from, const QString& to) override {
        if (++moves == failMoveNumber)
            return QStringLiteral("move refused");
        return PackageFolders::move(from, to);
    }
};

QJsonObject manifest(const QString& id, const QString& name, const QString& version = "1.0") {
    QJsonObject object = PackageBuilder::validManifest(id);
    object["name"] = name;
    object["version"] = version;
    return object;
}

QStringList ids(const QList<WidgetPackage>& packages) {
    QStringList list;
    for (const auto& package : packages)
        list.append(package.id());
    return list;
}

struct RegistryTest : testing::Test {
    QTemporaryDir folder;
    QString data = folder.filePath("data");
    QString resources = folder.filePath("resources");
    PackageBuilder included{resources + "/Widgets"};
    PackageBuilder custom{data + "/Widgets"};
    PackageBuilder elsewhere{folder.filePath("downloads")};
    std::shared_ptr<FailingFolders> folders = std::make_shared<FailingFolders>();

    std::unique_ptr<WidgetRegistry> open() {
        return std::make_unique<WidgetRegistry>(data, resources, folders);
    }

    QStringList leftovers() const {
        return QDir(data + "/Widgets")
                .entryList({".staging-*", ".backup-*"}, QDir::AllEntries | QDir::Hidden);
    }
};

} // namespace

TEST_F(RegistryTest, ScanSortsByNameAndCustomReplacesIncluded) {
    included.write("clock.tarnwidget", manifest("clock", "Clock"));
    included.write("agenda.tarnwidget", manifest("agenda", "agenda lower"));
    included.write("zeta.tarnwidget", manifest("zeta", "Zeta"));
    custom.write("mine.tarnwidget", manifest("clock", "My Clock"));
    const auto registry = open();
    EXPECT_TRUE(QFileInfo(data + "/Widgets").isDir());
    // Plain text order: upper case before lower case.
    EXPECT_EQ(ids(registry->packages()), QStringList({"clock", "zeta", "agenda"}));
    EXPECT_EQ(registry->package(QString("clock"))->manifest.name, "My Clock");
    EXPECT_FALSE(registry->package(QString("clock"))->bundled);
    EXPECT_TRUE(registry->package(QString("zeta"))->bundled);
    EXPECT_TRUE(registry->errors().isEmpty());
    EXPECT_EQ(registry->revision(), 1);
    EXPECT_EQ(registry->sdkDirectory(), resources + "/WidgetSDK");
}

TEST_F(RegistryTest, ErrorLinesForFailuresAndDuplicates) {
    custom.write("a.tarnwidget", manifest("same", "First"));
    custom.write("b.tarnwidget", manifest("same", "Second"));
    custom.file("plain.tarnwidget", "not a folder");
    QJsonObject bad = manifest("bad", "Bad");
    bad["apiVersion"] = 3;
    custom.write("c.tarnwidget", bad);
    custom.write("Upper.TARNWIDGET", manifest("upper", "Upper"));
    custom.write(".staging-1234", manifest("staging", "Staging"));
    const auto registry = open();
    EXPECT_EQ(ids(registry->packages()), QStringList({"same"}));
    EXPECT_EQ(registry->packages()[0].manifest.name, "First");
    // The first line is the fixed message; what to fix, when known, follows on a second.
    EXPECT_EQ(registry->errors(),
              QStringList({"b.tarnwidget: Duplicate widget ID same",
                           "c.tarnwidget: Unsupported widget API 3\napiVersion must be 1",
                           "plain.tarnwidget: Cannot read package\n\"" +
                                   custom.path("plain.tarnwidget") + "\" is not a folder"}));
}

TEST_F(RegistryTest, AnInstallEndedMidwayIsCleanedUpAtTheNextScan) {
    // As a kill during installs leaves them: a half-copied package, and a previous package moved
    // aside whose replacement never arrived.
    const auto age = [](const QString& path, qint64 seconds) {
        const time_t then = time(nullptr) - seconds;
        const struct timeval times[2] = {{then, 0}, {then, 0}};
        ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), times), 0);
    };
    const QString half = custom.write(".staging-old", manifest("half", "Half"));
    const QString fresh = custom.write(".staging-new", manifest("busy", "Busy"));
    const QString orphan = custom.write(".backup-old", manifest("kept", "Kept"));
    const QString superseded = custom.write(".backup-older", manifest("newer", "Old"));
    custom.write("newer.tarnwidget", manifest("newer", "New"));
    for (const QString& path : {half, orphan, superseded})
        age(path, WidgetRegistry::staleSeconds + 60);

    const auto registry = open();
    EXPECT_FALSE(QFileInfo::exists(half));
    EXPECT_FALSE(QFileInfo::exists(superseded));
    // Another install may be copying into a young one right now.
    EXPECT_TRUE(QFileInfo::exists(fresh));
    EXPECT_EQ(registry->package(QString("kept"))->manifest.name, "Kept");
    EXPECT_EQ(registry->package(QString("newer"))->manifest.name, "New");
    EXPECT_EQ(leftovers(), QStringList({".staging-new"}));
}

TEST_F(RegistryTest, ReplacingAnIncludedWidgetIsSaid) {
    included.write("notes.tarnwidget", manifest("notes", "Notes"));
    const auto registry = open();
    EXPECT_EQ(registry->replacementNotice("notes"),
              QString::fromUtf8("It replaces the included widget “Notes” (notes)."));
    EXPECT_FALSE(registry->replacementNotice("com.example.mine"));
    // Still said once the custom package has taken its place.
    registry->install(elsewhere.write("n.tarnwidget", manifest("notes", "My Notes")));
    EXPECT_EQ(registry->package(QString("notes"))->manifest.name, "My Notes");
    EXPECT_TRUE(registry->replacementNotice("notes"));
}

TEST_F(RegistryTest, ReloadPublishesEveryScan) {
    const auto registry = open();
    QSignalSpy revisions(registry.get(), &WidgetRegistry::revisionChanged);
    QSignalSpy packages(registry.get(), &WidgetRegistry::packagesChanged);
    custom.write("late.tarnwidget", manifest("late", "Late"));
    registry->reload();
    EXPECT_EQ(registry->revision(), 2);
    EXPECT_EQ(revisions.count(), 1);
    EXPECT_EQ(packages.count(), 1);
    EXPECT_EQ(ids(registry->packages()), QStringList({"late"}));
}

TEST_F(RegistryTest, InstallCopiesUnderTheIdentity) {
    const auto registry = open();
    const QString source =
            elsewhere.write("download.tarnwidget", manifest("com.example.new", "New"));
    const WidgetPackage installed = registry->install(source);
    EXPECT_EQ(installed.root, data + "/Widgets/com.example.new.tarnwidget");
    EXPECT_TRUE(QFileInfo::exists(installed.root + "/index.html"));
    EXPECT_TRUE(QFileInfo::exists(source)); // copied, not moved
    EXPECT_EQ(ids(registry->packages()), QStringList({"com.example.new"}));
    EXPECT_TRUE(leftovers().isEmpty());

    // Installing the installed folder itself only rescans.
    const int revision = registry->revision();
    registry->install(installed.root);
    EXPECT_EQ(registry->revision(), revision + 1);
    EXPECT_EQ(folders->moves, 1);
}

TEST_F(RegistryTest, InstallReplacesAnInstalledPackage) {
    const auto registry = open();
    registry->install(elsewhere.write("v1.tarnwidget", manifest("com.example.w", "W", "1.0")));
    registry->install(elsewhere.write("v2.tarnwidget", manifest("com.example.w", "W", "2.0")));
    EXPECT_EQ(registry->package(QString("com.example.w"))->manifest.version, "2.0");
    EXPECT_EQ(registry->packages().size(), 1);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(RegistryTest, AFailedFinalMoveLeavesThePreviousPackage) {
    const auto registry = open();
    registry->install(elsewhere.write("v1.tarnwidget", manifest("com.example.w", "W", "1.0")));
    folders->moves = 0;
    folders->failMoveNumber = 2; // the old package moves aside, then the new one fails to land
    try {
        registry->install(elsewhere.write("v2.tarnwidget", manifest("com.example.w", "W", "2.0")));
        ADD_FAILURE() << "the install went through";
    } catch (const WidgetError& error) {
        EXPECT_EQ(error.message(), "move refused");
    }
    registry->reload();
    EXPECT_EQ(registry->package(QString("com.example.w"))->manifest.version, "1.0");
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(RegistryTest, FailuresBeforeTheSwapTouchNothing) {
    const auto registry = open();
    registry->install(elsewhere.write("v1.tarnwidget", manifest("com.example.w", "W", "1.0")));

    QJsonObject invalid = manifest("com.example.w", "W", "2.0");
    invalid["permissions"] = QJsonArray{"camera"};
    EXPECT_THROW(registry->install(elsewhere.write("bad.tarnwidget", invalid)), WidgetError);

    folders->failCopy = true;
    EXPECT_THROW(registry->install(
                         elsewhere.write("v2.tarnwidget", manifest("com.example.w", "W", "2.0"))),
                 WidgetError);
    folders->failCopy = false;

    folders->moves = 0;
    folders->failMoveNumber = 1; // the old package cannot be moved aside
    EXPECT_THROW(registry->install(elsewhere.path("v2.tarnwidget")), WidgetError);

    registry->reload();
    EXPECT_EQ(registry->package(QString("com.example.w"))->manifest.version, "1.0");
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(RegistryTest, RemoveOnlyCustomPackagesDirectlyInTheCustomFolder) {
    included.write("clock.tarnwidget", manifest("clock", "Clock"));
    custom.write("notes.tarnwidget", manifest("notes", "Notes"));
    const auto registry = open();

    registry->remove(*registry->package(QString("clock")));
    EXPECT_TRUE(QFileInfo::exists(resources + "/Widgets/clock.tarnwidget"));

    // A package record pointing elsewhere is left alone.
    WidgetPackage foreign = *registry->package(QString("notes"));
    foreign.root = elsewhere.write("notes.tarnwidget", manifest("notes", "Notes"));
    registry->remove(foreign);
    EXPECT_TRUE(QFileInfo::exists(foreign.root));

    // A trash that cannot take it: the package stays, and the error says why.
    TemporaryTrash trash;
    writeFile(trash.dataHome + "/Trash", "not a folder");
    try {
        registry->remove(*registry->package(QString("notes")));
        ADD_FAILURE() << "removed without a trash";
    } catch (const WidgetError& error) {
        EXPECT_EQ(error.message(),
                  "Notes is still installed: its folder couldn’t be moved to the Trash (the Trash "
                  "folder “" +
                          trash.dataHome + "/Trash” couldn’t be created).");
    }
    EXPECT_TRUE(QFileInfo::exists(data + "/Widgets/notes.tarnwidget/manifest.json"));
    EXPECT_TRUE(registry->package(QString("notes")));

    // Moved, never deleted: the trash of $XDG_DATA_HOME holds it with the note to restore it.
    QFile::remove(trash.dataHome + "/Trash");
    const QString root = registry->package(QString("notes"))->root;
    const QString trashed = registry->remove(*registry->package(QString("notes")));
    EXPECT_EQ(trashed, trash.dataHome + "/Trash/files/notes.tarnwidget");
    EXPECT_TRUE(QFileInfo::exists(trashed + "/manifest.json"));
    EXPECT_TRUE(trash.info(trashed).startsWith(
            "[Trash Info]\nPath=" + QUrl::toPercentEncoding(root, "/") + "\nDeletionDate="));
    EXPECT_FALSE(QFileInfo::exists(data + "/Widgets/notes.tarnwidget"));
    EXPECT_EQ(ids(registry->packages()), QStringList({"clock"}));
}

TEST_F(RegistryTest, LookupByKindAndCategories) {
    const auto empty = open();
    EXPECT_EQ(empty->categories(), QStringList({"Audio", "General", "Monitoring", "System"}));

    QJsonObject ai = manifest("codex", "Codex");
    ai["category"] = "ai";
    custom.write("codex.tarnwidget", ai);
    QJsonObject tools = manifest("tools", "Tools");
    tools["category"] = "developer tools";
    custom.write("tools.tarnwidget", tools);
    const auto registry = open();
    EXPECT_EQ(registry->categories(),
              QStringList({"AI", "Audio", "Developer Tools", "General", "Monitoring", "System"}));
    const WidgetKind instance = WidgetKind::instance("codex");
    EXPECT_EQ(registry->package(instance)->id(), "codex");
    EXPECT_EQ(registry->package(*WidgetKind::named("codex"))->id(), "codex");
    EXPECT_FALSE(registry->package(*WidgetKind::named("missing@x")));
}
