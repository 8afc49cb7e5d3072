#include "integrations/IntegrationServices.h"

#include "support/EventLoop.h"
#include "support/FakeClock.h"
#include "support/TestFiles.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

namespace {

class CountingPlayer : public PlayerTransport {
public:
    int queries = 0;
    void run(const QString&, QObject* receiver, Completion completion) override {
        ++queries;
        QTimer::singleShot(0, receiver, [completion] {
            completion({true, QStringList(11, "1"), 0, {}});
        });
    }
    bool permitted() override { return true; }
    bool isRunning() override { return true; }
    bool isInstalled() override { return true; }
    void launch(QObject*, std::function<void(const std::optional<QString>&)> done) override {
        done(std::nullopt);
    }
};

class CountingReadings : public ActivityReadings {
public:
    int samples = 0;
    std::optional<QList<Disk>> disks() override {
        ++samples;
        return QList<Disk>();
    }
    std::optional<QList<Interface>> interfaces() override { return QList<Interface>(); }
    std::atomic<int> listings = 0;
    std::optional<ProcessTable> processes() override {
        ++listings;
        return ProcessTable{1, {{1, "init", 0.5, 0, 4096}}};
    }
};

class CountingCalendar : public CalendarBackend {
public:
    int eventQueries = 0;
    int reminderQueries = 0;
    void requestAccess(Kind, QObject*, std::function<void(bool)> done) override { done(true); }
    void events(const QDateTime&, const QDateTime&, QObject*, Answer<QList<Event>> done) override {
        ++eventQueries;
        done(QList<Event>());
    }
    void reminders(QObject*, Answer<QList<Reminder>> done) override {
        ++reminderQueries;
        done(QList<Reminder>());
    }
    void complete(const QString&, QObject*,
                  std::function<void(bool, const std::optional<QString>&)> done) override {
        done(false, std::nullopt);
    }
};

class MeterBackend : public AudioBackend {
public:
    QList<Output> outputs() const override { return {{"1", "Speakers"}}; }
    std::optional<QString> defaultOutput() const override { return QString("1"); }
    std::optional<double> volume() const override { return 0.5; }
    std::optional<bool> muted() const override { return false; }
    void setVolume(double, QObject*, Completion completion) override { completion(true); }
    void setMuted(bool, QObject*, Completion completion) override { completion(true); }
    void setDefaultOutput(const QString&, QObject*, Completion completion) override {
        completion(true);
    }
    void startMicrophone(QObject*, LevelHandler, StartHandler started) override {
        started(MicrophoneStart::started, {});
    }
    void stopMicrophone() override {}
};

// Counts reads and finds no repository.
struct CountingRepository : RepositoryReader {
    std::atomic<int> reads = 0;
    std::optional<RepositoryState> read(const QString&) override {
        ++reads;
        return std::nullopt;
    }
};

struct HubTest : testing::Test {
    QTemporaryDir folder;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<CountingPlayer> player = std::make_shared<CountingPlayer>();
    std::shared_ptr<CountingCalendar> calendar = std::make_shared<CountingCalendar>();
    CountingReadings* readings = new CountingReadings;
    std::shared_ptr<CountingRepository> repository = std::make_shared<CountingRepository>();
    QString pingLog = folder.filePath("ping-calls");
    std::unique_ptr<IntegrationServices> hub;

    void SetUp() override {
        IntegrationPlatform platform;
        platform.homeFolder = folder.filePath("home");
        platform.player = player;
        platform.calendar = calendar;
        platform.audio = std::make_shared<MeterBackend>();
        platform.activity = std::unique_ptr<ActivityReadings>(readings);
        platform.settings =
                std::make_shared<QSettings>(folder.filePath("s.ini"), QSettings::IniFormat);
        platform.activityPrograms.ping =
                writeScript(folder.filePath("ping"),
                            "echo run >> '" + pingLog.toUtf8() + "'\necho 'time=3.5 ms'");
        platform.projectPrograms.repository = repository;
        writeFile(folder.filePath("data/project.json"), "{\"project\":\"/somewhere\"}");
        hub = std::make_unique<IntegrationServices>(folder.filePath("data"), clock,
                                                    std::move(platform));
    }

    void tickFor(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            clock->advance(1);
            hub->tick();
            spin(5);
        }
    }

    static int lines(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

    std::optional<QString> perform(const QString& command, const QJsonObject& arguments = {},
                                   const QString& instance = "w") {
        std::optional<std::optional<QString>> result;
        hub->perform(command, arguments, instance,
                     [&](const std::optional<QString>& error) { result = error; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(QString("no answer"));
    }
};

} // namespace

TEST_F(HubTest, Tables) {
    EXPECT_EQ(IntegrationServices::permissions(),
              QStringList({"spotify", "audio", "calendar", "reminders", "activity", "automations",
                           "project", "ai"}));
    EXPECT_EQ(IntegrationServices::commands().size(), 17);
    EXPECT_EQ(IntegrationServices::commands().value("automations.refresh"), "automations");
    EXPECT_EQ(IntegrationServices::commands().value("project.buildLog"), "project");
}

TEST_F(HubTest, Snapshots) {
    EXPECT_EQ(hub->snapshot("activity", "w").keys(),
              QStringList({"disks", "interfaces", "latency", "latencyEnabled", "latencyMessage",
                           "processError", "processes"}));
    EXPECT_TRUE(hub->snapshot("activity", "w")["latency"].isNull());
    EXPECT_EQ(hub->snapshot("automations", "w").keys(), QStringList({"shortcuts", "status"}));
    EXPECT_EQ(hub->snapshot("calendar", "w"),
              (QJsonObject{{"authorized", false}, {"events", QJsonArray()}}));
    EXPECT_EQ(hub->snapshot("project", "w"), (QJsonObject{{"configured", false}}));
    EXPECT_TRUE(hub->snapshot("weather", "w").isEmpty());
}

TEST_F(HubTest, OnlyRecentlyViewedServicesRefresh) {
    tickFor(3);
    EXPECT_EQ(player->queries, 0);
    EXPECT_EQ(readings->samples, 0);

    hub->snapshot("spotify", "w");
    hub->snapshot("activity", "w");
    clock->advance(4.9);
    hub->tick();
    spin(20);
    EXPECT_EQ(player->queries, 1);
    EXPECT_EQ(readings->samples, 1);
    clock->advance(0.1); // now 5.0 s since the snapshots
    hub->tick();
    spin(20);
    EXPECT_EQ(player->queries, 1);
    EXPECT_EQ(readings->samples, 1);
    // Processes are listed every fifth tick, and only while a widget shows them.
    tickFor(10);
    EXPECT_EQ(readings->listings, 0);
    for (int i = 0; i < 5; ++i) {
        hub->snapshot("activity", "w");
        tickFor(1);
    }
    EXPECT_TRUE(waitUntil(
            [&] { return hub->snapshot("activity", "w")["processes"].toArray().size() == 1; }));
    EXPECT_EQ(readings->listings, 1);
}

TEST_F(HubTest, Cadences) {
    // Keep every service in view while ticking 30 times.
    for (int i = 0; i < 30; ++i) {
        for (const QString& permission : IntegrationServices::permissions())
            hub->snapshot(permission, "w");
        clock->advance(1);
        hub->tick();
        spin(10);
    }
    ASSERT_TRUE(waitUntil([&] { return repository->reads >= 2; }));
    EXPECT_EQ(hub->ticks(), 30);
    EXPECT_EQ(player->queries, 30);
    EXPECT_EQ(readings->samples, 30);
    EXPECT_EQ(calendar->eventQueries, 2); // ticks 15 and 30
    EXPECT_EQ(calendar->reminderQueries, 2);
    // The shared project (the instance "w" has none chosen) reads its repository, which
    // fails, at ticks 15 and 30.
    spin(100);
    EXPECT_EQ(repository->reads, 2);
    // Processes and then the latency probe every five ticks, the probe only when switched on.
    EXPECT_EQ(lines(pingLog), 0);
}

TEST_F(HubTest, TheMicrophoneStopsWhenNoAudioWidgetIsSeen) {
    hub->snapshot("audio", "w");
    EXPECT_EQ(perform("audio.microphone"), std::nullopt);
    EXPECT_TRUE(hub->audio().isMicrophoneOn());
    tickFor(4);
    EXPECT_TRUE(hub->audio().isMicrophoneOn());
    tickFor(1);
    EXPECT_FALSE(hub->audio().isMicrophoneOn());
    EXPECT_EQ(hub->audio().microphoneMessage(), "Microphone meter is off");
}

TEST_F(HubTest, AtRestOnlyTheHistoriesOfWidgetsInUseGoOnAndTheMicrophoneStops) {
    hub->snapshot("audio", "w");
    hub->snapshot("activity", "w");
    hub->snapshot("spotify", "w");
    EXPECT_EQ(perform("audio.microphone"), std::nullopt);
    // Long after the widgets last read their state, their histories still grow.
    for (int i = 0; i < 30; ++i) {
        clock->advance(1);
        hub->rest();
    }
    spin(20);
    EXPECT_FALSE(hub->audio().isMicrophoneOn());
    EXPECT_EQ(readings->samples, 30);
    EXPECT_EQ(player->queries, 0);
    EXPECT_EQ(hub->ticks(), 0);

    // Seen again, the widgets' own reads decide once more.
    tickFor(1);
    EXPECT_EQ(readings->samples, 30);
    hub->snapshot("activity", "w");
    tickFor(1);
    EXPECT_EQ(readings->samples, 31);
}

TEST_F(HubTest, ProjectServicesPerInstance) {
    EXPECT_EQ(&hub->projectFor("project-status"), &hub->project());
    ProjectService& one = hub->projectFor("project@A");
    EXPECT_EQ(&hub->projectFor("project@A"), &one);
    EXPECT_NE(&hub->projectFor("project@B"), &one);
    EXPECT_EQ(one.settingsPath(), folder.filePath("data/Instances/") +
                                          IntegrationServices::instanceFolderName("project@A") +
                                          "/project.json");
    EXPECT_EQ(IntegrationServices::instanceFolderName("???"), "Pz8_");
    EXPECT_EQ(IntegrationServices::instanceFolderName(">>>"), "Pj4+");
    EXPECT_EQ(IntegrationServices::instanceFolderName("a"), "YQ==");
}

TEST_F(HubTest, CommandsWithTheirDefaults) {
    QSignalSpy changed(hub.get(), &IntegrationServices::changed);
    EXPECT_EQ(perform("audio.volume"), "Invalid volume");
    EXPECT_EQ(perform("audio.volume", {{"value", "0.5"}}), "Invalid volume");
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(perform("audio.volume", {{"value", 0.5}}), std::nullopt);
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(perform("audio.output", {{"id", 1}}), "Audio device is unavailable");
    EXPECT_EQ(perform("weather.forecast"), "Unknown integration command");
    EXPECT_EQ(perform("spotify.control", {{"action", "volume"}, {"value", 101}}), "Invalid volume");
    EXPECT_EQ(perform("automations.run", {{"name", "nothing"}}),
              "Refresh and choose an available shortcut");

    EXPECT_EQ(perform("activity.latency"), std::nullopt);
    EXPECT_TRUE(hub->activity().latencyEnabled());
    EXPECT_EQ(hub->activity().latency(), 3.5);
    EXPECT_EQ(lines(pingLog), 1);
    EXPECT_EQ(perform("activity.latency"), std::nullopt);
    EXPECT_FALSE(hub->activity().latency());
    EXPECT_EQ(hub->activity().latencyMessage(), "Latency probe is off");
}
