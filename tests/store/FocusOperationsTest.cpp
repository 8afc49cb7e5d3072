#include "model/WidgetError.h"
#include "store/FocusTimers.h"
#include "support/StoreFixture.h"

#include <QJsonDocument>

namespace {

FocusSession readSession(const QByteArray& json) {
    return FocusSession::fromJson(QJsonDocument::fromJson(json).object());
}

} // namespace

using MainFocusTimer = StoreFixture;

TEST_F(MainFocusTimer, ToggleStartsAndPausesAndSaves) {
    TarnStore& store = open();
    store.toggleFocus();
    EXPECT_EQ(store.focus().endsAt, clock->now().addSecs(1500));
    EXPECT_EQ(readSession(readFile("focus.json")), store.focus());
    clock->advance(600.2);
    store.toggleFocus();
    EXPECT_EQ(store.now(), clock->now());
    EXPECT_FALSE(store.focus().isRunning());
    EXPECT_EQ(store.focus().remaining, 900);
    EXPECT_EQ(readSession(readFile("focus.json")).remaining, 900);
}

TEST_F(MainFocusTimer, LengthIsBoundedAndStopsARunningTimer) {
    TarnStore& store = open();
    store.toggleFocus();
    store.setFocusMinutes(0);
    EXPECT_EQ(store.preferences().focusMinutes, 1);
    EXPECT_EQ(store.focus(), FocusSession::fresh(60));
    store.toggleFocus();
    store.setFocusMinutes(500);
    EXPECT_EQ(store.preferences().focusMinutes, 120);
    EXPECT_EQ(store.focus(), FocusSession::fresh(7200));
    EXPECT_EQ(readSession(readFile("focus.json")), FocusSession::fresh(7200));

    store.updatePreferences([](Preferences& p) { p.focusMinutes = -5; });
    store.resetFocus();
    EXPECT_EQ(store.focus(), FocusSession::fresh(60));
}

TEST_F(MainFocusTimer, StoredTimerIsRestoredAndAnExpiredOneCompletesSilently) {
    FocusSession running = FocusSession::fresh(1500);
    running.start(clock->now().addSecs(-1600)); // ran out while the application was closed
    writeFile("focus.json", running.toJson());
    TarnStore& store = open();
    EXPECT_TRUE(store.focus().completed);
    EXPECT_EQ(store.focus().remaining, 0);
    EXPECT_FALSE(store.toast());
    EXPECT_EQ(readSession(readFile("focus.json")), running); // not saved by the check
    store.tick(clock->now());
    EXPECT_EQ(sound->plays, 0);

    FocusSession paused{1500, 700, std::nullopt, false};
    writeFile("focus.json", paused.toJson());
    EXPECT_EQ(open().focus(), paused);
}

TEST_F(MainFocusTimer, AMissingTimerFileUsesTheStoredLength) {
    Preferences preferences;
    preferences.focusMinutes = 50;
    writeFile("preferences.json", preferences.toJson());
    EXPECT_EQ(open().focus(), FocusSession::fresh(3000));
}

using FocusCopiesTest = StoreFixture;

TEST_F(FocusCopiesTest, AFreshCopyIsNotStoredUntilControlled) {
    TarnStore& store = open();
    EXPECT_EQ(store.focusCopy("timer@A"), FocusSession::fresh(1500));
    EXPECT_TRUE(store.focusCopies().isEmpty());
    store.controlFocusCopy("timer@A", "focus.unknown", std::nullopt);
    EXPECT_TRUE(store.focusCopies().isEmpty());
    EXPECT_FALSE(fileExists("focus-copies.json"));

    store.controlFocusCopy("timer@A", "focus.toggle", std::nullopt);
    EXPECT_TRUE(store.focusCopies().value("timer@A").isRunning());
    EXPECT_EQ(focusCopiesFromJson(readFile("focus-copies.json")), store.focusCopies());
    // The main timer is a different timer.
    EXPECT_FALSE(store.focus().isRunning());
}

TEST_F(FocusCopiesTest, SetMinutesChecksItsInput) {
    TarnStore& store = open();
    for (std::optional<int> minutes :
         {std::optional<int>(0), std::optional<int>(121), std::optional<int>()}) {
        try {
            store.controlFocusCopy("timer@A", "focus.setMinutes", minutes);
            ADD_FAILURE() << "accepted " << minutes.value_or(-1);
        } catch (const WidgetError& error) {
            EXPECT_EQ(error.message(), "Invalid duration or timer is running");
        }
    }
    EXPECT_TRUE(store.focusCopies().isEmpty());

    store.controlFocusCopy("timer@A", "focus.setMinutes", 45);
    EXPECT_EQ(store.focusCopies().value("timer@A"), FocusSession::fresh(2700));

    store.controlFocusCopy("timer@A", "focus.toggle", std::nullopt);
    EXPECT_THROW(store.controlFocusCopy("timer@A", "focus.setMinutes", 10), WidgetError);
    EXPECT_TRUE(store.focusCopies().value("timer@A").isRunning());

    clock->advance(30);
    store.controlFocusCopy("timer@A", "focus.toggle", std::nullopt);
    EXPECT_EQ(store.focusCopies().value("timer@A").remaining, 2670);
    store.controlFocusCopy("timer@A", "focus.setMinutes", 10);
    EXPECT_EQ(store.focusCopies().value("timer@A"), FocusSession::fresh(600));
}

TEST_F(FocusCopiesTest, ResetKeepsWholeMinutes) {
    FocusCopies copies{{"timer@A", FocusSession{90, 12, std::nullopt, true}},
                       {"timer@B", FocusSession{30, 30, std::nullopt, false}}};
    writeFile("focus-copies.json", focusCopiesToJson(copies));
    TarnStore& store = open();
    store.controlFocusCopy("timer@A", "focus.reset", std::nullopt);
    EXPECT_EQ(store.focusCopies().value("timer@A"), FocusSession::fresh(60));
    store.controlFocusCopy("timer@B", "focus.reset", std::nullopt);
    EXPECT_EQ(store.focusCopies().value("timer@B"), FocusSession::fresh(60));
}

using FocusCompletion = StoreFixture;

TEST_F(FocusCompletion, CopiesThatRanOutWhileClosedCompleteOnTheFirstHeartbeat) {
    FocusSession expired = FocusSession::fresh(60);
    expired.start(clock->now().addSecs(-120));
    FocusSession later = FocusSession::fresh(600);
    later.start(clock->now());
    writeFile("focus-copies.json", focusCopiesToJson({{"timer@A", expired}, {"timer@B", later}}));
    TarnStore& store = open();
    EXPECT_TRUE(store.focusCopies().value("timer@A").isRunning());
    EXPECT_FALSE(store.toast());

    store.tick(clock->now());
    EXPECT_EQ(store.focusCopies().value("timer@A"), (FocusSession{60, 0, std::nullopt, true}));
    EXPECT_TRUE(store.focusCopies().value("timer@B").isRunning());
    EXPECT_EQ(store.toast(), "Focus complete. Time for a breather.");
    EXPECT_EQ(focusCopiesFromJson(readFile("focus-copies.json")), store.focusCopies());
    EXPECT_EQ(sound->plays, 0); // copies are silent
}

TEST(FocusTimers, TheMainTimerAndACopyEndingInTheSameSecondCompleteOnceEach) {
    FocusTimers timers;
    QList<bool> completed;
    QObject::connect(&timers, &FocusTimers::completed,
                     [&](bool mainTimer) { completed.append(mainTimer); });
    const QDateTime start = QDateTime::fromSecsSinceEpoch(1'800'000'000);
    timers.toggleMain(start);
    timers.controlCopy("timer@A", "focus.setMinutes", 25, start, 25);
    timers.controlCopy("timer@A", "focus.toggle", std::nullopt, start, 25);

    timers.completeDue(start.addSecs(1499));
    EXPECT_TRUE(completed.isEmpty());
    timers.completeDue(start.addSecs(1500));
    EXPECT_EQ(completed.count(true), 1);
    EXPECT_EQ(completed.count(false), 1);
    EXPECT_TRUE(timers.main().completed);
    EXPECT_TRUE(timers.copies().value("timer@A").completed);
    timers.completeDue(start.addSecs(1505));
    EXPECT_EQ(completed.size(), 2);
}

TEST_F(FocusCompletion, TimersKeepTheirLengthWhenTheWallClockIsSetAndCompleteOnce) {
    TarnStore& store = open();
    store.toggleFocus();
    store.controlFocusCopy("timer@A", "focus.toggle", std::nullopt);
    int toasts = 0;
    QObject::connect(&store, &TarnStore::toastChanged, [&] {
        if (store.toast())
            ++toasts;
    });
    const auto beat = [&] {
        clock->advance(1);
        store.tick(clock->now());
    };
    const auto secondsLeft = [&] { return store.focus().secondsLeft(store.now()); };
    beat();
    ASSERT_EQ(secondsLeft(), 1499);

    // A time server sets the clock an hour on, then two back: the timers still have their
    // 25 minutes, and the clock shows the time set at once.
    clock->set(clock->now().addSecs(3600));
    beat();
    EXPECT_EQ(store.now(), clock->now());
    EXPECT_EQ(secondsLeft(), 1498);
    EXPECT_FALSE(store.focus().completed);
    EXPECT_EQ(store.focusCopies().value("timer@A").secondsLeft(store.now()), 1498);
    clock->set(clock->now().addSecs(-7200));
    beat();
    EXPECT_EQ(secondsLeft(), 1497);
    EXPECT_EQ(readSession(readFile("focus.json")), store.focus());

    for (int i = 0; i < 1497; ++i)
        beat();
    EXPECT_TRUE(store.focus().completed);
    EXPECT_EQ(sound->plays, 1);
    EXPECT_EQ(toasts, 2);
    // Back to before the end: nothing completes again.
    clock->set(clock->now().addSecs(-600));
    beat();
    beat();
    EXPECT_EQ(sound->plays, 1);
    EXPECT_EQ(toasts, 2);
}
