// The direct touch controller's modes: opening the touchscreen with retries, the failure texts,
// the legacy driver's pause and restore with its marker, and the log. Fake devices, services and
// time; no windows.
#include "model/linux/PlatformTexts.h"
#include "support/FakeServices.h"
#include "support/ManualTasks.h"
#include "touch/DirectTouchController.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Opens with the scripted results in turn (then 0), attaching one interface on success.
class ScriptedDevices : public HidDeviceSource {
public:
    QList<int> results;
    int opens = 0;
    Access readable = Access::granted;

    int open(HidDeviceListener& listener) override {
        ++opens;
        const int result = results.isEmpty() ? 0 : results.takeFirst();
        if (result == 0)
            listener.attached("hidraw0");
        return result;
    }
    void close() override {}
    Access access() const override { return readable; }
};

class NoWindows : public TouchWindows {
public:
    QList<QObject*> windowsFrontToBack() const override { return {}; }
    QObject* windowOf(QObject*) const override { return nullptr; }
    bool isShown(QObject*) const override { return false; }
    QRectF frame(QObject*) const override { return {}; }
    QObject* modalWindow() const override { return nullptr; }
    QObject* sheet(QObject*) const override { return nullptr; }
    SurfaceGeometry geometry(QObject*) const override { return {}; }
    ScrollTargets scrollTargetsAt(QObject*, QPointF) const override { return {}; }
    void scroll(QObject*, double) override {}
    void scrollPage(QObject*, QPointF, double) override {}
    void click(QObject*, QPointF) override {}
    QPointF windowOrigin(QObject*) const override { return {}; }
    void moveWindow(QObject*, QPointF) override {}
};

class NoScreens : public ScreenDirectory {
public:
    QList<ScreenInfo> screens() const override { return {}; }
    DisplayModel model(quint32) const override { return {}; }
};

struct DirectTouchModesTest : testing::Test {
    QTemporaryDir folder;
    NoScreens screens;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<ManualTasks> tasks = std::make_shared<ManualTasks>(clock);
    ScriptedDevices* devices = nullptr;
    std::shared_ptr<FakeServices> services;
    bool directTouch = true;
    std::unique_ptr<DirectTouchController> touch;

    // `services` as they are when told to keep them, else new ones.
    DirectTouchController& make(bool keepServices = false) {
        DirectTouchController::Environment environment;
        environment.host.directTouchEnabled = [this] { return directTouch; };
        environment.screens = &screens;
        environment.windows = std::make_unique<NoWindows>();
        auto scripted = std::make_unique<ScriptedDevices>();
        devices = scripted.get();
        environment.devices = std::move(scripted);
        if (!keepServices || !services)
            services = std::make_shared<FakeServices>();
        environment.services = std::make_unique<SharedServices>(services);
        environment.clock = clock;
        environment.tasks = tasks;
        environment.supportFolder = folder.path();
        touch = std::make_unique<DirectTouchController>(std::move(environment));
        return *touch;
    }

    QString marker() const { return folder.filePath("legacy-driver-paused"); }
    QString log() const {
        QFile file(folder.filePath("touch.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

TEST_F(DirectTouchModesTest, ADeviceHeldElsewhereIsTriedNineTimesThenTheDriverComesBack) {
    DirectTouchController& controller = make();
    EXPECT_EQ(controller.status(), "Starting…");
    devices->results = QList<int>(20, EBUSY);
    controller.start();
    EXPECT_EQ(services->commands, QStringList({"is-active", "stop"}));
    EXPECT_TRUE(QFile::exists(marker()));
    EXPECT_EQ(controller.status(), "Switching from mouse mode to direct touch…");
    tasks->advance(DirectTouchController::retryDelay * 7);
    EXPECT_EQ(devices->opens, 8);
    EXPECT_TRUE(controller.isStarting());
    tasks->advance(DirectTouchController::retryDelay);
    EXPECT_EQ(devices->opens, 9);
    EXPECT_EQ(controller.status(), "Another app is using the touchscreen");
    EXPECT_FALSE(controller.isRunning());
    EXPECT_FALSE(controller.inputMonitoringDenied());
    EXPECT_EQ(services->commands.last(), "start");
    EXPECT_TRUE(services->active);
    EXPECT_FALSE(QFile::exists(marker()));
    EXPECT_EQ(tasks->pending(), 0u);
    const QString written = log();
    EXPECT_TRUE(written.contains("Paused the legacy mouse driver for exclusive touch access."));
    EXPECT_TRUE(
            written.contains("Touch open failed 0x00000010: Another app is using the touchscreen"));
    EXPECT_TRUE(written.contains("Restored the legacy mouse driver."));
    EXPECT_EQ(written.count("Touch permissions: Input Monitoring=0, Accessibility=true; app="), 9);
    // Every line: an ISO 8601 time, a space, the message.
    for (const QString& line : written.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.startsWith("2026-12-07T09:00:") && line.mid(19, 2) == "Z ")
                << line.toStdString();

    // Released a moment later: a second start connects.
    devices->results = {EBUSY, EBUSY};
    controller.refreshMode();
    tasks->advance(1);
    EXPECT_TRUE(controller.isRunning());
    EXPECT_EQ(controller.status(), "Direct touch connected");
    EXPECT_TRUE(controller.legacyDriverPaused());
}

TEST_F(DirectTouchModesTest, StopWhileARetryWaitsLeavesTheRetryHarmless) {
    DirectTouchController& controller = make();
    devices->results = {EBUSY};
    controller.start();
    ASSERT_EQ(tasks->pending(), 1u);
    controller.stop();
    EXPECT_EQ(controller.status(), "Standard mouse mode");
    EXPECT_TRUE(services->active);
    tasks->advance(1);
    EXPECT_EQ(devices->opens, 1);
    EXPECT_FALSE(controller.isRunning());
    EXPECT_EQ(controller.status(), "Standard mouse mode");

    // The preference off: start does nothing at all.
    directTouch = false;
    controller.start();
    EXPECT_EQ(devices->opens, 1);
}

TEST_F(DirectTouchModesTest, FailuresNameTheirCauseAndAnyRefusalNeedsThePermission) {
    DirectTouchController& controller = make();
    devices->results = {EACCES};
    devices->readable = HidDeviceSource::Access::denied;
    controller.start();
    EXPECT_TRUE(controller.inputMonitoringDenied());
    EXPECT_EQ(controller.status(), PlatformTexts::touchAccessDenied());
    EXPECT_TRUE(log().contains("Input Monitoring=1"));

    // The report nodes read but the input nodes refuse: the same permission is missing.
    controller.stop();
    EXPECT_FALSE(controller.inputMonitoringDenied());
    devices->results = {EACCES};
    devices->readable = HidDeviceSource::Access::granted;
    controller.start();
    EXPECT_TRUE(controller.inputMonitoringDenied());
    EXPECT_EQ(controller.status(), PlatformTexts::touchAccessDenied());

    controller.stop();
    devices->results = {ENODEV};
    controller.start();
    EXPECT_EQ(controller.status(), "Touch access unavailable (0x00000013)");
}

TEST_F(DirectTouchModesTest, APauseLeftByAnEarlierRunIsRestoredAfterAFailedOpen) {
    QFile(marker()).open(QIODevice::WriteOnly);
    DirectTouchController& controller = make();
    services->active = false; // the earlier run stopped it and never started it again
    devices->results = {EACCES};
    controller.start();
    EXPECT_EQ(services->commands, QStringList({"is-active", "is-active", "start"}));
    EXPECT_TRUE(services->active);
    EXPECT_FALSE(QFile::exists(marker()));

    // A start that fails keeps the marker for the next try.
    DirectTouchController& again = make();
    again.start();
    services->startStatus = 1;
    again.stop();
    EXPECT_TRUE(QFile::exists(marker()));
    EXPECT_TRUE(again.legacyDriverPaused());
    services->startStatus = 0;
    again.refreshMode();
    again.stop();
    EXPECT_FALSE(QFile::exists(marker()));
    // Without the unit there is nothing to pause or restore.
    services->exists = false;
    again.start();
    EXPECT_FALSE(again.legacyDriverPaused());
    EXPECT_TRUE(again.isRunning());
}

TEST_F(DirectTouchModesTest, APauseIsKeptWhenTheStopRunsLateAndALeftOverOneIsRestored) {
    // The stop runs past its limit: the driver may have stopped, so the pause is owed a restore.
    DirectTouchController& controller = make();
    services->stopStatus = ServiceControl::timedOut;
    controller.start();
    EXPECT_TRUE(controller.legacyDriverPaused());
    EXPECT_TRUE(QFile::exists(marker()));
    services->active = false; // it did stop
    controller.stop();
    EXPECT_TRUE(services->active);
    EXPECT_FALSE(QFile::exists(marker()));

    // A pause left by a crash is made good at start-up when direct touch is off.
    QFile(marker()).open(QIODevice::WriteOnly);
    services->active = false;
    services->commands.clear();
    directTouch = false;
    make(true);
    EXPECT_EQ(services->commands, QStringList({"is-active", "start"}));
    EXPECT_TRUE(services->active);
    EXPECT_FALSE(QFile::exists(marker()));
}

TEST_F(DirectTouchModesTest, StopWhileTheDriverIsBeingPausedStillRestoresIt) {
    DirectTouchController& controller = make();
    services->deferred = true;
    controller.start();
    controller.stop();
    // The manager answers late: the pause completes, nothing opens, and the restore follows.
    while (services->waiting() > 0)
        services->answer();
    EXPECT_EQ(services->commands, QStringList({"is-active", "stop", "is-active", "start"}));
    EXPECT_TRUE(services->active);
    EXPECT_FALSE(controller.legacyDriverPaused());
    EXPECT_EQ(devices->opens, 0);
    EXPECT_EQ(controller.status(), "Standard mouse mode");

    // Quitting with a pause in place waits for the restore.
    services->deferred = false;
    controller.start();
    ASSERT_TRUE(controller.legacyDriverPaused());
    services->deferred = true;
    touch.reset();
    EXPECT_TRUE(services->active);
}

TEST(TouchLog, StartsOverOnceItGrowsPastItsLimit) {
    QTemporaryDir folder;
    const TouchLog log(folder.filePath("Tarn/touch.log"), std::make_shared<FakeClock>());
    log.write("first");
    QFile file(log.path());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(QByteArray(TouchLog::sizeLimit, 'x'));
    file.close();
    log.write("second");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "2026-12-07T09:00:00Z second\n");
    file.close();

    // A link in the log's place is not written through, nor emptied.
    const QString target = folder.filePath("elsewhere");
    ASSERT_TRUE(QFile::rename(log.path(), target));
    ASSERT_TRUE(QFile::link(target, log.path()));
    ASSERT_TRUE(file.resize(TouchLog::sizeLimit + 1));
    log.write("fourth");
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.size(), TouchLog::sizeLimit + 1);
    EXPECT_TRUE(kept.readAll().startsWith("2026-12-07T09:00:00Z second\n"));
}

} // namespace
