#include "model/StateFile.h"
#include "store/MetricHistories.h"
#include "store/Pages.h"
#include "store/StateFiles.h"
#include "support/EventLoop.h"
#include "support/FakeClock.h"
#include "support/PackageBuilder.h"
#include "support/StoreFixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

WidgetKind kind(const char* raw) {
    return *WidgetKind::named(QString::fromUtf8(raw));
}

QStringList widgetTexts(const PageLayout& layout) {
    QStringList list;
    for (const auto& s : layout.sections)
        list.append(s.widget ? s.widget->rawValue() : QString("-"));
    return list;
}

// A music player transport that only remembers which player it was told to follow alone.
class PinnedTransport : public PlayerTransport {
public:
    std::optional<QString> pinned;
    void run(const QString&, QObject*, Completion) override {}
    bool permitted() override { return false; }
    bool isRunning() override { return false; }
    bool isInstalled() override { return false; }
    void launch(QObject*, std::function<void(const std::optional<QString>&)>) override {}
    void pin(const std::optional<QString>& player) override { pinned = player; }
};

} // namespace

// Saves and toasts on the fake clock: the test moves time on.
struct ManualTimeStore : StoreFixture {
    ManualTimeStore() { tasks = std::make_shared<ManualTasks>(clock); }
};

using TarnStoreStartup = ManualTimeStore;

TEST_F(TarnStoreStartup, FirstStartSeedsThreeExamplePagesAndWritesThemShortlyAfter) {
    TarnStore& store = open();
    QSignalSpy saved(&store, &TarnStore::saved);
    EXPECT_EQ(store.pages(), QList<Board>({Board::overview, Board::focus, Board::system}));
    EXPECT_EQ(store.preferences().board, Board::overview);
    for (Board board : store.pages())
        EXPECT_EQ(store.layout(board), PageLayout::example(board)) << rawValue(board).toStdString();
    EXPECT_FALSE(fileExists("preferences.json"));
    EXPECT_FALSE(store.toast());

    tasks->advance(0.35);
    EXPECT_EQ(saved.count(), 0);
    tasks->advance(0.1);
    EXPECT_EQ(saved.count(), 1);
    tasks->advance(5);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(Preferences::fromJson(readFile("preferences.json")), store.preferences());
    // The timer starts from the default length; no timer file is written yet.
    EXPECT_EQ(store.focus(), FocusSession::fresh(1500));
    EXPECT_FALSE(fileExists("focus.json"));
}

TEST_F(TarnStoreStartup, ABurstOfChangesIsWrittenOnce) {
    TarnStore& store = open(std::chrono::milliseconds(150));
    QSignalSpy saved(&store, &TarnStore::saved);
    tasks->advance(1);
    ASSERT_EQ(saved.count(), 1);
    for (int i = 0; i < 10; ++i) {
        store.updatePreferences([i](Preferences& p) { p.note = QString::number(i); });
        tasks->advance(0.02);
    }
    tasks->advance(1);
    EXPECT_EQ(saved.count(), 2);
    EXPECT_EQ(Preferences::fromJson(readFile("preferences.json")).note, "9");
}

TEST_F(TarnStoreStartup, StoredPreferencesAreTakenAsTheyAre) {
    auto player = std::make_shared<PinnedTransport>();
    customize = [player](TarnStore::Environment& environment) {
        environment.integrations.player = player;
    };
    Preferences stored;
    stored.pageCount = 4;
    stored.board = Board::page4;
    stored.note = "kept";
    stored.musicPlayer = "org.mpris.MediaPlayer2.vlc";
    writeFile("preferences.json", stored.toJson());
    TarnStore& store = open();
    EXPECT_EQ(store.preferences(), stored);
    EXPECT_EQ(store.pages().size(), 4);
    // Without stored layouts the pages show their widget lists as a row.
    EXPECT_EQ(store.layout(Board::overview).sections.first().id, "legacy-today");
    // The music widgets follow the pinned player, until the choice is left to them again.
    EXPECT_EQ(player->pinned, "org.mpris.MediaPlayer2.vlc");
    store.updatePreferences([](Preferences& p) { p.musicPlayer.reset(); });
    EXPECT_EQ(player->pinned, std::nullopt);
    store.save();
    EXPECT_TRUE(QDir(directory()).entryList({"preferences.json.unreadable-*"}).isEmpty());
}

TEST_F(TarnStoreStartup, UnreadableFilesFallBackToDefaultsSilently) {
    writeFile("preferences.json", "{\"pageCount\": \"three\"}");
    writeFile("focus.json", "[]");
    writeFile("focus-copies.json", "{\"timer@A\": 3}");
    TarnStore& store = open();
    EXPECT_FALSE(store.toast());
    EXPECT_EQ(store.pages().size(), 3);
    EXPECT_EQ(store.layout(Board::system), PageLayout::example(Board::system));
    EXPECT_EQ(store.focus(), FocusSession::fresh(1500));
    EXPECT_TRUE(store.focusCopies().isEmpty());
}

TEST_F(TarnStoreStartup, WhatCouldNotBeReadIsKeptAsideBeforeTheFirstSave) {
    const QByteArray truncated = "{\"note\": \"months of notes\", \"widgetStorage\": {\"a\"";
    writeFile("preferences.json", truncated);
    writeFile("focus.json", "[]");
    writeFile("focus-copies.json", "{\"timer@A\": 3}");
    TarnStore& store = open(std::chrono::milliseconds(50));
    QSignalSpy saved(&store, &TarnStore::saved);
    tasks->advance(0.05);
    ASSERT_EQ(saved.count(), 1);
    const QString copy = "preferences.json.unreadable-" +
                         clock->now().toLocalTime().toString("yyyy-MM-dd-HHmmss");
    EXPECT_EQ(readFile(copy), truncated);
    EXPECT_EQ(store.toast(),
              QString::fromUtf8("Couldn’t read preferences.json. It is kept as ") + copy + ".");
    EXPECT_EQ(Preferences::fromJson(readFile("preferences.json")), store.preferences());
    // Once kept, later saves just save.
    store.save();
    EXPECT_EQ(QDir(directory()).entryList({"preferences.json.*"}), QStringList({copy}));

    store.toggleFocus();
    EXPECT_EQ(readFile("focus.json.unreadable-" + copy.section('-', 1)), "[]");
    store.controlFocusCopy("timer@A", "focus.toggle", std::nullopt);
    EXPECT_EQ(readFile("focus-copies.json.unreadable-" + copy.section('-', 1)), "{\"timer@A\": 3}");
    EXPECT_TRUE(store.toast()->contains("focus-copies.json.unreadable-"));
}

TEST_F(TarnStoreStartup, APartlyReadFileIsKeptAsideAndOnlyTheLastFewCopiesStay) {
    // One malformed layout and a newer version's key: the rest is read, and the original kept.
    const QByteArray partly = "{\"note\": \"kept\", \"pageLayouts\": {\"Overview\": 5},"
                              " \"futureSetting\": true}";
    for (int run = 0; run < StateFile::keptCopies + 2; ++run) {
        writeFile("preferences.json", partly);
        TarnStore& store = open();
        EXPECT_EQ(store.preferences().note, "kept");
        store.save();
        EXPECT_EQ(Preferences::fromJson(readFile("preferences.json")).note, "kept");
        clock->advance(60);
    }
    const QStringList copies = QDir(directory()).entryList({"preferences.json.unreadable-*"});
    ASSERT_EQ(copies.size(), StateFile::keptCopies);
    EXPECT_EQ(readFile(copies.last()), partly);
    EXPECT_TRUE(copies.first().endsWith(
            clock->now().addSecs(-60 * StateFile::keptCopies).toLocalTime().toString("HHmmss")));

    // A file read whole is never copied.
    TarnStore& store = open();
    store.save();
    EXPECT_EQ(QDir(directory()).entryList({"preferences.json.unreadable-*"}), copies);
}

TEST(StateFiles, WhatCouldNotBeReadIsSetAsideOnceAndAFailingFileIsToldOnce) {
    QTemporaryDir folder;
    const QString pipe = folder.filePath("focus.json");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe), 0600), 0);
    const auto clock = std::make_shared<FakeClock>();
    struct stat status {};

    // A tool's look into the folder neither blocks on the pipe nor moves or writes anything.
    StateFiles looking(folder.path(), clock, StateFiles::Access::readOnly);
    EXPECT_FALSE(looking.read("focus.json"));
    EXPECT_FALSE(looking.write("focus.json", "{}").error);
    ASSERT_EQ(::lstat(QFile::encodeName(pipe), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    // The store's first write moves the pipe aside unopened; later writes just write.
    StateFiles files(folder.path(), clock, StateFiles::Access::readWrite);
    EXPECT_FALSE(files.read("focus.json"));
    const StateFiles::Written first = files.write("focus.json", "{}");
    ASSERT_FALSE(first.error);
    ASSERT_TRUE(first.keptAs.startsWith("focus.json.unreadable-")) << first.keptAs.toStdString();
    ASSERT_EQ(::lstat(QFile::encodeName(folder.filePath(first.keptAs)), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_TRUE(files.write("focus.json", "{\"a\": 1}").keptAs.isEmpty());
    EXPECT_EQ(files.read("focus.json"), "{\"a\": 1}");

    // A folder that cannot be made: the first failure is the one to tell, until a write succeeds.
    StateFiles blocked(folder.filePath("focus.json/inside"), clock, StateFiles::Access::readWrite);
    EXPECT_TRUE(blocked.write("a.json", "{}").firstFailure);
    const StateFiles::Written again = blocked.write("a.json", "{}");
    EXPECT_TRUE(again.error);
    EXPECT_FALSE(again.firstFailure);
    ASSERT_TRUE(QFile::remove(pipe));
    EXPECT_FALSE(blocked.write("a.json", "{}").error);
    ASSERT_TRUE(QDir(folder.path()).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(folder.path()));
    QFile(pipe).open(QIODevice::WriteOnly);
    EXPECT_TRUE(blocked.write("a.json", "{}").firstFailure);
}

TEST_F(TarnStoreStartup, ALinkInPlaceOfAStateFileIsKeptAsideAndNeverWrittenThrough) {
    Preferences elsewhere;
    elsewhere.note = "another program's file";
    const QString target = folder.filePath("elsewhere.json");
    writeFile("../elsewhere.json", elsewhere.toJson());
    ASSERT_TRUE(QFile::link(target, QDir(directory()).filePath("preferences.json")));
    TarnStore& store = open();
    store.updatePreferences([](Preferences& p) { p.note = "mine"; });
    store.save();
    QFile other(target);
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    EXPECT_EQ(other.readAll(), elsewhere.toJson());
    EXPECT_FALSE(QFileInfo(QDir(directory()).filePath("preferences.json")).isSymLink());
    EXPECT_EQ(Preferences::fromJson(readFile("preferences.json")).note, "mine");
    // The link itself is what was found there: it is kept, as an unreadable file is.
    const QStringList kept = QDir(directory()).entryList({"preferences.json.unreadable-*"});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(QFileInfo(QDir(directory()).filePath(kept[0])).symLinkTarget(), target);
}

TEST(SaveSchedule, ChangesThatNeverStopAreStillSaved) {
    auto clock = std::make_shared<FakeClock>();
    auto tasks = std::make_shared<ManualTasks>(clock);
    int saves = 0;
    auto schedule =
            std::make_unique<SaveSchedule>(tasks, clock, std::chrono::milliseconds(150),
                                           std::chrono::milliseconds(500), [&] { ++saves; });
    // A change every 30 ms for 1.6 s: saved every half second, the first after 0.5 s.
    std::optional<int> firstSave;
    for (int i = 0; i * 30 < 1600; ++i) {
        schedule->changed();
        tasks->advance(0.03);
        if (!firstSave && saves > 0)
            firstSave = (i + 1) * 30;
    }
    EXPECT_EQ(saves, 3);
    ASSERT_TRUE(firstSave);
    EXPECT_GE(*firstSave, 500);
    EXPECT_LE(*firstSave, 530);

    // Saved meanwhile by its owner: nothing is owed; gone: nothing runs later.
    schedule->changed();
    schedule->saved();
    schedule->changed();
    schedule.reset();
    tasks->advance(5);
    EXPECT_EQ(saves, 3);
    EXPECT_EQ(tasks->pending(), 0u);
}

TEST_F(TarnStoreStartup, AFolderThatCannotBeWrittenGivesToastsAndKeepsTheState) {
    // A file where the folder should be: nothing can be created inside it.
    QFile blocker(directory());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TarnStore& store = open();
    store.updatePreferences([](Preferences& p) { p.note = "unsaved"; });
    store.save();
    ASSERT_TRUE(store.toast());
    EXPECT_TRUE(store.toast()->startsWith(QString::fromUtf8("Couldn’t save settings: ")));
    EXPECT_GT(store.toast()->size(), QString("Couldn’t save settings: ").size());
    EXPECT_EQ(store.preferences().note, "unsaved");

    store.toggleFocus();
    ASSERT_TRUE(store.toast());
    EXPECT_TRUE(store.toast()->startsWith(QString::fromUtf8("Couldn’t save the timer: ")));
    EXPECT_TRUE(store.focus().isRunning());

    store.notify("last");
    store.controlFocusCopy("timer@A", "focus.toggle", std::nullopt);
    EXPECT_EQ(store.toast(), "last"); // copies fail silently
    EXPECT_TRUE(store.focusCopies().value("timer@A").isRunning());
}

TEST_F(TarnStoreStartup, AFullDiskIsToldOnceDamagesNothingAndTheNextChangeSavesWhenItCan) {
    TarnStore& store = open();
    store.updatePreferences([](Preferences& p) { p.note = "kept"; });
    store.save();
    const QByteArray saved = readFile("preferences.json");
    QStringList toasts;
    QObject::connect(&store, &TarnStore::toastChanged, [&] {
        if (store.toast())
            toasts.append(*store.toast());
    });

    // No room for more than a few bytes in any file, as on a full disk.
    rlimit unlimited{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = unlimited;
    full.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    for (const char* note : {"lost for now", "still lost"}) {
        store.updatePreferences([note](Preferences& p) { p.note = note; });
        store.save();
        store.toggleFocus();
    }
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, previousHandler);
    ASSERT_EQ(toasts.size(), 2);
    EXPECT_TRUE(toasts[0].startsWith(QString::fromUtf8("Couldn’t save settings: ")));
    EXPECT_TRUE(toasts[1].startsWith(QString::fromUtf8("Couldn’t save the timer: ")));
    EXPECT_EQ(readFile("preferences.json"), saved);
    EXPECT_EQ(QDir(directory()).entryList(QDir::Files), QStringList({"preferences.json"}));

    // Room again: the next change is saved; a data folder deleted meanwhile is made again.
    store.updatePreferences([](Preferences& p) { p.note = "saved"; });
    store.save();
    EXPECT_EQ(Preferences::fromJson(readFile("preferences.json")).note, "saved");
    ASSERT_TRUE(QDir(directory()).removeRecursively());
    store.updatePreferences([](Preferences& p) { p.note = "in a new folder"; });
    store.save();
    EXPECT_EQ(Preferences::fromJson(readFile("preferences.json")).note, "in a new folder");
    EXPECT_EQ(toasts.size(), 2);
}

using TarnStoreToasts = ManualTimeStore;

TEST_F(TarnStoreToasts, ANewerMessageReplacesTheShownOneAndRestartsItsTime) {
    TarnStore& store = open();
    store.notify("first");
    EXPECT_EQ(store.toast(), "first");
    tasks->advance(3);
    store.notify("second");
    tasks->advance(4); // past the first message's five seconds
    EXPECT_EQ(store.toast(), "second");
    tasks->advance(0.9);
    EXPECT_EQ(store.toast(), "second");
    tasks->advance(0.2);
    EXPECT_FALSE(store.toast());
}

using TarnStorePages = StoreFixture;

TEST_F(TarnStorePages, AddingPagesUpToEight) {
    TarnStore& store = open();
    int pagesChangedCalls = 0;
    store.pagesChanged = [&] { ++pagesChangedCalls; };
    EXPECT_EQ(store.addPage(), Board::page4);
    EXPECT_EQ(store.preferences().board, Board::page4);
    EXPECT_EQ(store.layout(Board::page4).sections.size(), 1);
    EXPECT_TRUE(store.layout(Board::page4).isValid());
    // Written at once, not after the delay.
    EXPECT_EQ(Preferences::fromJson(readFile("preferences.json")).pageCount, 4);
    EXPECT_EQ(pagesChangedCalls, 1);

    for (int i = 0; i < 4; ++i)
        store.addPage();
    EXPECT_EQ(store.pages().size(), 8);
    const Preferences full = store.preferences();
    EXPECT_EQ(store.addPage(), std::nullopt);
    EXPECT_EQ(store.preferences(), full);
    EXPECT_EQ(pagesChangedCalls, 5);
}

TEST_F(TarnStorePages, DeletingAPageRenumbersTheOnesAfterIt) {
    TarnStore& store = open();
    store.updatePreferences([](Preferences& p) { p.board = Board::system; });
    const PageLayout systemLayout = store.layout(Board::system);
    int pagesChangedCalls = 0;
    store.pagesChanged = [&] { ++pagesChangedCalls; };

    EXPECT_TRUE(store.deletePage(Board::focus));
    EXPECT_EQ(store.pages(), QList<Board>({Board::overview, Board::focus}));
    EXPECT_EQ(store.layout(Board::focus), systemLayout);
    EXPECT_EQ(store.preferences().board, Board::focus);
    EXPECT_FALSE(store.preferences().pageLayouts.contains("System"));
    EXPECT_EQ(store.preferences().widgetOrders.value("Focus"), systemLayout.widgets());
    EXPECT_EQ(Preferences::fromJson(readFile("preferences.json")).pageCount, 2);
    EXPECT_EQ(pagesChangedCalls, 1);

    // The current last page: the one before it becomes current.
    EXPECT_TRUE(store.deletePage(Board::focus));
    EXPECT_EQ(store.preferences().board, Board::overview);
    // Neither the only page nor a page that is not shown can go.
    EXPECT_FALSE(store.deletePage(Board::overview));
    EXPECT_FALSE(store.deletePage(Board::page6));
    EXPECT_EQ(pagesChangedCalls, 2);
}

TEST_F(TarnStorePages, DeletingBeforeTheCurrentPageKeepsItCurrent) {
    TarnStore& store = open();
    store.addPage(); // Page 4, current
    const PageLayout page4 = store.layout(Board::page4);
    EXPECT_TRUE(store.deletePage(Board::overview));
    EXPECT_EQ(store.preferences().board, Board::system);
    EXPECT_EQ(store.layout(Board::system), page4);
}

TEST_F(TarnStorePages, LayoutsFallBackToARowOfTheWidgetList) {
    TarnStore& store = open();
    store.updatePreferences([](Preferences& p) {
        p.pageCount = 4;
        p.widgetOrders["Page 4"] = {kind("notes"), kind("timer")};
        PageLayout broken = PageLayout::example(Board::focus);
        broken.sections[1].x = 0.9; // overlaps its neighbour
        p.pageLayouts["Focus"] = broken;
    });
    const PageLayout row = store.layout(Board::page4);
    EXPECT_EQ(widgetTexts(row), QStringList({"notes", "timer"}));
    EXPECT_EQ(row.sections[0].id, "legacy-notes");
    EXPECT_DOUBLE_EQ(row.sections[0].width, 0.5);
    EXPECT_TRUE(store.layout(Board::focus).isValid());
    EXPECT_EQ(widgetTexts(store.layout(Board::focus)),
              QStringList({"today", "timer", "notes", "shortcuts"}));
}

TEST_F(TarnStorePages, RowsUseTheWidthsThePackagesPrefer) {
    QJsonObject manifest = PackageBuilder::validManifest("notes");
    manifest["preferredWidth"] = 300;
    manifest["boardWidths"] = QJsonObject{{"Page 4", 600}};
    PackageBuilder(folder.filePath("Widgets")).write("notes.tarnwidget", manifest);
    TarnStore& store = open();
    ASSERT_TRUE(store.widgets().package(kind("notes@1")));
    store.updatePreferences([](Preferences& p) {
        p.pageCount = 4;
        p.widgetOrders["Page 4"] = {kind("notes@1"), kind("timer")};
        p.widgetOrders["Overview"] = {kind("notes@1"), kind("timer")};
        p.pageLayouts.clear();
    });
    // 1892 points less one gap of 14: the page's own width, the rest for the other widget.
    EXPECT_DOUBLE_EQ(store.layout(Board::page4).sections[0].width, 600.0 / 1878);
    EXPECT_DOUBLE_EQ(store.layout(Board::overview).sections[0].width, 300.0 / 1878);
}

TEST_F(TarnStorePages, SettingLayoutsInTheDisplaysOrientation) {
    TarnStore& store = open();
    int orientationCalls = 0;
    store.orientationChanged = [&] { ++orientationCalls; };
    store.updatePreferences([](Preferences& p) { p.orientation = LayoutOrientation::vertical; });
    store.updatePreferences([](Preferences& p) { p.note = "same orientation"; });
    EXPECT_EQ(orientationCalls, 1);

    const PageLayout stored = store.preferences().pageLayouts.value("Overview");
    const PageLayout shown = store.layout(Board::overview);
    EXPECT_EQ(shown, stored.oriented(LayoutOrientation::vertical));

    PageLayout edited = shown;
    edited.clear(edited.sections[0].id);
    store.setLayout(edited, Board::overview);
    EXPECT_EQ(store.preferences().pageLayouts.value("Overview"),
              edited.oriented(LayoutOrientation::vertical));
    EXPECT_EQ(store.preferences().widgetOrders.value("Overview").size(), 4);

    // An invalid layout is ignored.
    const Preferences before = store.preferences();
    PageLayout invalid = shown;
    invalid.sections.append(invalid.sections.first());
    store.setLayout(invalid, Board::overview);
    store.setLayout(PageLayout(), Board::focus);
    EXPECT_EQ(store.preferences(), before);
}

TEST(Pages, AnExampleNeverSharesAnInstanceWithAnotherPage) {
    const WidgetKind cpu = *WidgetKind::named("cpu@example-v2-1-0");
    const Preferences preferences = Pages::withLayout(
            Preferences(), PageLayout::preset(PageLayout::Preset::two, {cpu}), Board::system);
    const QStringList widgets = widgetTexts(Pages::example(preferences, Board::overview));
    EXPECT_TRUE(widgets[0].startsWith("cpu@example-v2-1-0-copy-"));
    EXPECT_EQ(widgets[0].size(), QString("cpu@example-v2-1-0-copy-").size() + 36);
    EXPECT_EQ(widgets[1], "gpu@example-v2-1-1");
    EXPECT_EQ(Pages::example(preferences, Board::focus), PageLayout::example(Board::focus));
}

TEST_F(TarnStorePages, SwappingWidgetsOnTheCurrentPage) {
    TarnStore& store = open();
    store.swapWidgets(kind("cpu@example-v2-1-0"), kind("network@example-v2-1-4"));
    EXPECT_EQ(widgetTexts(store.layout(Board::overview)).first(), "network@example-v2-1-4");
    EXPECT_EQ(widgetTexts(store.layout(Board::overview)).last(), "cpu@example-v2-1-0");
}

using TarnStoreHeartbeat = StoreFixture;

TEST_F(TarnStoreHeartbeat, HistoriesKeepTheNewestNinetyValues) {
    TarnStore& store = open();
    readings->memoryReading = MachineReadings::MemoryUsage{1e9, 0, 0};
    readings->counters = MachineReadings::NetworkCounters{0, 0};
    for (quint64 i = 0; i < 95; ++i) {
        readings->cpuReading = CPUReading{i * 10, 0, i * 30, 0};
        readings->counters = MachineReadings::NetworkCounters{i * 100, i * 10};
        readings->now += 1;
        clock->advance(1);
        store.tick(clock->now());
    }
    EXPECT_EQ(store.now(), clock->now());
    EXPECT_EQ(store.cpuHistory().size(), 90);
    EXPECT_DOUBLE_EQ(store.cpuHistory().last(), 25.0);
    EXPECT_EQ(store.memoryHistory().size(), 90);
    EXPECT_EQ(store.downloadHistory().size(), 90);
    EXPECT_DOUBLE_EQ(store.downloadHistory().last(), 100);
    EXPECT_DOUBLE_EQ(store.uploadHistory().last(), 10);
    EXPECT_TRUE(store.gpuHistory().isEmpty()); // never measured
    EXPECT_EQ(store.machine().memoryUsed, 1e9);
}

TEST(MetricHistories, KeepOnlyWhatWasMeasuredAndOnlyTheNewestNinety) {
    MetricHistories histories;
    EXPECT_FALSE(histories.append(MachineSnapshot{}));
    for (int i = 0; i < 95; ++i) {
        MachineSnapshot sample;
        sample.cpu = i;
        if (i % 2 == 0)
            sample.download = i * 100.0;
        EXPECT_TRUE(histories.append(sample));
    }
    EXPECT_EQ(histories.of(MetricHistories::Metric::cpu).size(), MetricHistories::length);
    EXPECT_EQ(histories.of(MetricHistories::Metric::cpu).first(), 5);
    EXPECT_EQ(histories.of(MetricHistories::Metric::cpu).last(), 94);
    EXPECT_EQ(histories.of(MetricHistories::Metric::download).size(), 48);
    EXPECT_EQ(histories.of(MetricHistories::Metric::download).last(), 9400);
    EXPECT_TRUE(histories.of(MetricHistories::Metric::gpu).isEmpty());
}

using TarnStoreLaunching = StoreFixture;

TEST_F(TarnStoreLaunching, MissingApplicationsAndOpenFailuresAreToasts) {
    TarnStore& store = open();
    const QString app = folder.filePath("files.desktop");
    QFile(app).open(QIODevice::WriteOnly);
    Shortcut finder = Shortcut::make("Finder", "com.apple.finder", "folder");

    store.launch(finder);
    EXPECT_EQ(store.toast(),
              QString::fromUtf8("Finder isn’t installed. Choose another app in Settings."));
    EXPECT_TRUE(launcher->opened.isEmpty());

    launcher->installed["com.apple.finder"] = folder.filePath("gone.desktop");
    store.notify("-");
    store.launch(finder);
    EXPECT_EQ(store.toast(),
              QString::fromUtf8("Finder isn’t installed. Choose another app in Settings."));

    launcher->installed["com.apple.finder"] = app;
    store.notify("-");
    store.launch(finder);
    EXPECT_EQ(launcher->opened, QStringList({app}));
    spin(50);
    EXPECT_EQ(store.toast(), "-");

    launcher->openError = "Permission denied";
    store.launch(finder);
    ASSERT_TRUE(waitUntil([&] { return store.toast() != "-"; }));
    EXPECT_EQ(store.toast(), QString::fromUtf8("Couldn’t open Finder: Permission denied"));

    // A path wins over the bundle identifier.
    finder.path = folder.filePath("missing/Files.desktop");
    store.launch(finder);
    EXPECT_EQ(store.toast(),
              QString::fromUtf8("Finder isn’t installed. Choose another app in Settings."));
}

TEST_F(TarnStoreHeartbeat, IntegrationChangesReachTheStoresObservers) {
    TarnStore& store = open();
    QSignalSpy changed(&store, &TarnStore::changed);
    std::optional<std::optional<QString>> result;
    store.services().perform("automations.refresh", {}, "w",
                             [&](const std::optional<QString>& error) { result = error; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_FALSE(*result);
    EXPECT_GE(changed.count(), 1);
    // The heartbeat ticks the hub.
    const qint64 ticks = store.services().ticks();
    store.tick(clock->now());
    EXPECT_EQ(store.services().ticks(), ticks + 1);
}

namespace {

// One disk whose counters the test moves by hand.
class ScriptedDisk : public ActivityReadings {
public:
    quint64 read = 0;
    std::optional<QList<Disk>> disks() override { return QList<Disk>{{"disk-1", "sda", read, 0}}; }
    std::optional<QList<Interface>> interfaces() override { return QList<Interface>(); }
};

} // namespace

TEST_F(TarnStoreHeartbeat, TheFirstReadingsArriveWellBeforeTheFirstHeartbeat) {
    // Loads and rates are differences of two samples: without an early second one, the first
    // page would show placeholders for its first second or two.
    auto* disk = new ScriptedDisk;
    customize = [&](TarnStore::Environment& environment) {
        environment.startTimer = true;
        environment.integrations.activity.reset(disk);
        readings->cpuReading = CPUReading{100, 0, 300, 0};
    };
    QElapsedTimer started;
    started.start();
    TarnStore& store = open();
    readings->cpuReading = CPUReading{150, 0, 400, 0};
    disk->read = 3000;
    clock->advance(0.3);
    ASSERT_TRUE(waitUntil([&] { return !store.cpuHistory().isEmpty(); }, 900));
    EXPECT_LT(started.elapsed(), 900);
    EXPECT_EQ(store.cpuHistory().size(), 1);
    EXPECT_NEAR(store.cpuHistory().last(), 100.0 * 50 / 150, 1e-9);
    const QJsonArray disks = store.services().activity().disks();
    ASSERT_EQ(disks.size(), 1);
    EXPECT_NEAR(disks.first().toObject().value("read").toDouble(), 3000 / 0.3, 1e-6);
}

TEST_F(TarnStoreHeartbeat, AfterASleepTheClockAndTimersAreRightAtOnceAndNoRateSpansIt) {
    auto* disk = new ScriptedDisk;
    customize = [&](TarnStore::Environment& environment) {
        environment.integrations.activity.reset(disk);
    };
    TarnStore& store = open();
    store.toggleFocus(); // 25 minutes
    const auto second = [&](quint64 bytes) {
        readings->counters = MachineReadings::NetworkCounters{bytes, 0};
        const auto ticks = quint64(readings->now);
        readings->cpuReading = CPUReading{ticks * 10, 0, ticks * 30, 0};
        disk->read = bytes;
        store.services().snapshot("activity", "activity"); // a widget shows it
        readings->now += 1;
        clock->advance(1);
        store.tick(clock->now());
    };
    second(0);
    second(100);
    ASSERT_EQ(store.downloadHistory(), QList<double>{100});
    ASSERT_EQ(store.cpuHistory().size(), 1);

    // Half an hour asleep: what the counters gained around it shows in no rate, and the timer
    // that ran out meanwhile completes at the first beat.
    clock->sleep(1800);
    second(5e9);
    EXPECT_EQ(store.now(), clock->now());
    EXPECT_EQ(store.downloadHistory(), QList<double>{100});
    EXPECT_EQ(store.cpuHistory().size(), 1);
    EXPECT_TRUE(store.services().activity().disks().first().toObject().value("read").isNull());
    EXPECT_TRUE(store.focus().completed);
    EXPECT_EQ(sound->plays, 1);
    second(5e9 + 200);
    EXPECT_EQ(store.downloadHistory(), (QList<double>{100, 200}));
    EXPECT_EQ(store.cpuHistory().size(), 2);
    EXPECT_EQ(store.services().activity().disks().first().toObject().value("read"), 200);
}

TEST_F(TarnStoreHeartbeat, WhileNobodyLooksOnlyTheClockTimersAndHistoriesGoOn) {
    TarnStore& store = open();
    QSignalSpy watched(&store, &TarnStore::watchedChanged);
    store.setFocusMinutes(1);
    store.toggleFocus();
    store.setWatched(false);
    store.setWatched(false);
    EXPECT_EQ(watched.count(), 1);

    const qint64 ticks = store.services().ticks();
    readings->memoryReading = MachineReadings::MemoryUsage{1e9, 0, 0};
    for (int second = 0; second < 61; ++second) {
        clock->advance(1);
        store.tick(clock->now());
    }
    EXPECT_EQ(store.services().ticks(), ticks); // integrations rest
    EXPECT_EQ(store.now(), clock->now());
    EXPECT_EQ(store.memoryHistory().size(), 61);
    EXPECT_TRUE(store.focus().completed);
    EXPECT_EQ(sound->plays, 1);
    EXPECT_EQ(store.toast(), QString::fromUtf8("Focus complete. Time for a breather."));

    // Seen again: the time is that of now and the integrations refresh at once, not a beat later.
    clock->advance(0.6);
    store.setWatched(true);
    EXPECT_EQ(watched.count(), 2);
    EXPECT_EQ(store.now(), clock->now());
    EXPECT_EQ(store.services().ticks(), ticks + 1);
    store.tick(clock->now());
    EXPECT_EQ(store.services().ticks(), ticks + 2);
}
