#include "widgets/WidgetBridge.h"

#include "model/JsonCoding.h"
#include "model/WidgetError.h"
#include "support/EventLoop.h"
#include "support/StoreFixture.h"
#include "support/TestFiles.h"
#include "widgets/SnapshotFeed.h"
#include "widgets/SnapshotSections.h"
#include "widgets/UserGesture.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

WidgetManifest manifest(QStringList permissions, const QString& id = "com.example.w") {
    WidgetManifest m;
    m.id = id;
    m.name = "W";
    m.version = "1";
    m.entry = "index.html";
    m.permissions = std::move(permissions);
    return m;
}

struct BridgeTest : StoreFixture {
    void SetUp() override { open(); }

    QJsonObject snapshot(const WidgetManifest& m, std::optional<QString> instance = {}) {
        return WidgetBridge::snapshot(m, *store, instance);
    }

    // The error message of a local command, or "ok". Unless told otherwise, the user has just
    // tapped the widget.
    QString run(
            const QString& method, const QJsonObject& arguments, const WidgetManifest& m,
            std::optional<QString> instance = {},
            const WidgetBridge::GestureTaker& gesture = [] { return true; }) {
        try {
            WidgetBridge::perform(method, arguments, m, *store, instance, gesture);
            return "ok";
        } catch (const WidgetError& error) {
            return error.message();
        }
    }

    // Sends a command message and waits for its one reply; a message that is no command is
    // refused on arrival, so its reply, if any, would come at once.
    QJsonObject command(const QJsonObject& message, const WidgetManifest& m,
                        bool replyExpected = true) {
        QList<QJsonObject> replies;
        WidgetBridge::handleCommand(
                message, m, *store, std::nullopt, [] { return true; },
                [&](const QJsonObject& reply) { replies.append(reply); });
        if (replyExpected)
            waitUntil([&] { return !replies.isEmpty(); }, 2000);
        spin(20);
        EXPECT_LE(replies.size(), 1);
        return replies.value(0);
    }
};

} // namespace

TEST_F(BridgeTest, AlwaysPresentKeysAndSingleSections) {
    const QJsonObject storageOnly = snapshot(manifest({"storage"}));
    EXPECT_EQ(storageOnly.keys(),
              QStringList({"apiVersion", "instanceID", "now", "showSeconds", "storage", "theme"}));
    EXPECT_EQ(storageOnly["instanceID"], "com.example.w");
    EXPECT_EQ(storageOnly["now"], double(store->now().toMSecsSinceEpoch()));
    EXPECT_EQ(storageOnly["theme"].toObject(),
              (QJsonObject{{"accent", "#adebbf"}, {"primary", "#edf0e6"}, {"mode", "dark"}}));

    const QJsonObject metrics = snapshot(manifest({"metrics"}))["metrics"].toObject();
    EXPECT_EQ(metrics.size(), 24);
    EXPECT_TRUE(metrics["cpu"].isNull());
    EXPECT_TRUE(metrics["disks"].isArray());
    EXPECT_GE(metrics["cores"].toInt(), 1);
    EXPECT_TRUE(metrics["memoryTotal"].isDouble());
    EXPECT_TRUE(metrics["uptime"].isDouble());

    const QJsonObject focus = snapshot(manifest({"focus"}))["focus"].toObject();
    EXPECT_EQ(focus, (QJsonObject{{"secondsLeft", 1500},
                                  {"duration", 1500},
                                  {"running", false},
                                  {"completed", false},
                                  {"minutes", 25}}));

    const QJsonObject shortcuts = snapshot(manifest({"shortcuts"}));
    EXPECT_EQ(shortcuts["launcher"].toObject(),
              (QJsonObject{{"name", "Files"}, {"symbol", "folder"}}));
    ASSERT_EQ(shortcuts["shortcuts"].toArray().size(), 6);
    EXPECT_EQ(shortcuts["shortcuts"].toArray()[0].toObject().keys(),
              QStringList({"id", "name", "symbol"}));

    const QJsonObject integrations = snapshot(manifest({"calendar", "network", "automations"}));
    EXPECT_EQ(integrations.keys(), QStringList({"apiVersion", "automations", "calendar",
                                                "instanceID", "now", "showSeconds", "theme"}));
    EXPECT_EQ(snapshot(manifest({"notes"}))["note"], "");
}

TEST_F(BridgeTest, InstancesKeepTheirOwnStateThePackageSharesTheApplications) {
    const WidgetManifest notes = manifest({"notes", "storage", "focus"}, "notes");
    EXPECT_EQ(run("notes.set", {{"text", "shared"}}, notes), "ok");
    EXPECT_EQ(run("notes.set", {{"text", "first"}}, notes, QString("notes@1")), "ok");
    EXPECT_EQ(run("notes.set", {{"text", "second"}}, notes, QString("notes@2")), "ok");
    EXPECT_EQ(store->preferences().note, "shared");
    EXPECT_EQ(snapshot(notes, QString("notes@1"))["note"], "first");
    EXPECT_EQ(snapshot(notes, QString("notes@2"))["note"], "second");
    EXPECT_EQ(snapshot(notes)["note"], "shared");

    EXPECT_EQ(run("storage.set", {{"key", "k"}, {"value", "1"}}, notes, QString("notes@1")), "ok");
    EXPECT_EQ(snapshot(notes, QString("notes@1"))["storage"].toObject(),
              (QJsonObject{{"k", "1"}, {"note", "first"}}));
    EXPECT_EQ(snapshot(notes, QString("notes@2"))["storage"].toObject(),
              (QJsonObject{{"note", "second"}}));

    EXPECT_EQ(run("focus.toggle", {}, notes, QString("notes@1")), "ok");
    EXPECT_TRUE(snapshot(notes, QString("notes@1"))["focus"].toObject()["running"].toBool());
    EXPECT_FALSE(snapshot(notes, QString("notes@2"))["focus"].toObject()["running"].toBool());
    EXPECT_FALSE(store->focus().isRunning());
    EXPECT_EQ(run("focus.toggle", {}, notes), "ok");
    EXPECT_TRUE(store->focus().isRunning());
}

TEST_F(BridgeTest, SnapshotTextIsTheStateWrittenOutAndFollowsEveryChangeOfTheStore) {
    const QStringList everyPermission(WidgetManifest::supportedPermissions().begin(),
                                      WidgetManifest::supportedPermissions().end());
    const WidgetManifest all = manifest(everyPermission, "all");
    const WidgetManifest few = manifest({"storage", "notes", "focus"}, "few");
    SnapshotSections& sections = SnapshotSections::of(*store);
    EXPECT_EQ(&SnapshotSections::of(*store), &sections);
    const auto expectSameText = [&](const WidgetManifest& m, std::optional<QString> instance,
                                    bool touchMode) {
        QJsonObject state = snapshot(m, instance);
        state.insert("touchMode", touchMode);
        EXPECT_EQ(sections.snapshot(m, instance, touchMode), Json::fastCompact(state))
                << m.id.toStdString() << " " << instance.value_or("-").toStdString();
    };
    const auto expectAll = [&] {
        for (bool touchMode : {false, true}) {
            expectSameText(all, std::nullopt, touchMode);
            expectSameText(all, QString("all@1"), touchMode);
            expectSameText(few, QString("few@1"), touchMode);
            expectSameText(few, std::nullopt, touchMode);
        }
    };
    expectAll();

    // Every kind of change reaches the text made from the shared sections.
    readings->cpuReading = CPUReading{100, 50, 850, 0};
    readings->gpuReading = MachineReadings::Gpu{QString("GPU \"x\" /"), 30};
    store->tick(clock->now());
    readings->cpuReading = CPUReading{300, 60, 900, 0};
    clock->advance(1);
    store->tick(clock->now());
    expectAll();
    store->updatePreferences([](Preferences& p) {
        p.customAccent = "#123456";
        p.showSeconds = true;
        p.widgetStorage["few@1"] = {{"k\"/\u00e9", "v\n\u2028"}, {"note", "n\u0001"}};
        p.shortcuts.append(Shortcut::make("Odd \"name\"", "org.example.odd", "star"));
    });
    expectAll();
    EXPECT_EQ(run("focus.toggle", {}, few, QString("few@1")), "ok");
    expectAll();
    EXPECT_TRUE(QJsonDocument::fromJson(sections.snapshot(all, std::nullopt, false)).isObject());

    // A feed sends a text once, and again only after a change that shows.
    SnapshotFeed feed(all, *store, QString("all@2"));
    ASSERT_TRUE(feed.next(false).has_value());
    EXPECT_FALSE(feed.next(false).has_value());
    emit store->machineChanged();
    EXPECT_FALSE(feed.next(false).has_value());
    const auto touched = feed.next(true);
    ASSERT_TRUE(touched.has_value());
    EXPECT_TRUE(QJsonDocument::fromJson(*touched).object()["touchMode"].toBool());
    clock->advance(1);
    store->tick(clock->now());
    EXPECT_TRUE(feed.next(true).has_value());
    feed.forget();
    EXPECT_TRUE(feed.next(true).has_value());

    // A heartbeat writes out again what the clock changed, and the list of shortcuts waits for
    // a change of its own.
    const WidgetManifest launcher = manifest({"shortcuts"}, "launcher");
    expectSameText(launcher, std::nullopt, false);
    const auto sectionsWrittenAfter = [&](const std::function<void()>& change) {
        const quint64 before = sections.sectionsWritten();
        change();
        expectSameText(launcher, std::nullopt, false);
        return sections.sectionsWritten() - before;
    };
    EXPECT_EQ(sectionsWrittenAfter([&] {
                  clock->advance(1);
                  store->tick(clock->now());
              }),
              1u)
            << "the time alone";
    const quint64 otherPreference = sectionsWrittenAfter(
            [&] { store->updatePreferences([](Preferences& p) { p.board = Board::focus; }); });
    const quint64 shortcut = sectionsWrittenAfter([&] {
        store->updatePreferences([](Preferences& p) {
            p.shortcuts.append(Shortcut::make("Late", "org.example.late", "star"));
        });
    });
    EXPECT_EQ(shortcut, otherPreference + 1);
}

TEST_F(BridgeTest, FocusLimits) {
    const WidgetManifest timer = manifest({"focus"}, "timer");
    const QString invalid = "Invalid duration or timer is running";
    EXPECT_EQ(run("focus.setMinutes", {{"minutes", 0}}, timer), invalid);
    EXPECT_EQ(run("focus.setMinutes", {{"minutes", 121}}, timer), invalid);
    EXPECT_EQ(run("focus.setMinutes", {{"minutes", "30"}}, timer), invalid);
    EXPECT_EQ(run("focus.setMinutes", {{"minutes", 1}}, timer), "ok");
    EXPECT_EQ(run("focus.setMinutes", {{"minutes", 120}}, timer), "ok");
    EXPECT_EQ(store->preferences().focusMinutes, 120);
    EXPECT_EQ(run("focus.toggle", {}, timer), "ok");
    EXPECT_EQ(run("focus.setMinutes", {{"minutes", 30}}, timer), invalid);
    EXPECT_EQ(run("focus.reset", {}, timer), "ok");
    EXPECT_FALSE(store->focus().isRunning());
    // A copy takes its minutes through the same rules.
    EXPECT_EQ(run("focus.setMinutes", {{"minutes", 45}}, timer, QString("timer@1")), "ok");
    EXPECT_EQ(store->focusCopy("timer@1").duration, 2700);
}

TEST_F(BridgeTest, NoteAndStorageLimits) {
    const WidgetManifest w = manifest({"notes", "storage"});
    EXPECT_EQ(run("notes.set", {{"text", QString(100000, 'n')}}, w), "ok");
    EXPECT_EQ(run("notes.set", {{"text", QString(99999, 'n') + QString::fromUtf8("é")}}, w),
              "Note is too large");
    // A note that is no text is not "too large".
    EXPECT_EQ(run("notes.set", {}, w), "Note expects a text string");
    EXPECT_EQ(run("notes.set", {{"text", 7}}, w), "Note expects a text string");
    EXPECT_EQ(store->preferences().note.size(), 100000);

    const QString badKey = "Storage expects a key and string value";
    EXPECT_EQ(run("storage.set", {{"key", QString(100, 'k')}, {"value", "v"}}, w), "ok");
    EXPECT_EQ(run("storage.set", {{"key", QString(101, 'k')}, {"value", "v"}}, w), badKey);
    EXPECT_EQ(run("storage.set", {{"key", ""}, {"value", "v"}}, w), badKey);
    EXPECT_EQ(run("storage.set", {{"key", "n"}, {"value", 5}}, w), badKey);

    // {"big":"…"} alone: 10 bytes of JSON around the value, plus the 100-character key's entry.
    const qsizetype used = QJsonDocument(QJsonObject{{QString(100, 'k'), "v"}})
                                   .toJson(QJsonDocument::Compact)
                                   .size();
    const qsizetype room = WidgetBridge::storageLimit - used - QByteArray(",\"big\":\"\"").size();
    EXPECT_EQ(run("storage.set", {{"key", "big"}, {"value", QString(room + 1, 'x')}}, w),
              "Widget storage is limited to 64 KB");
    EXPECT_FALSE(store->preferences().widgetStorage.value("com.example.w").contains("big"));
    EXPECT_EQ(run("storage.set", {{"key", "big"}, {"value", QString(room, 'x')}}, w), "ok");
    EXPECT_EQ(run("storage.set", {{"key", "more"}, {"value", ""}}, w),
              "Widget storage is limited to 64 KB");
    // Slashes count as their escaped form.
    EXPECT_EQ(run("storage.set", {{"key", "big"}, {"value", QString(room - 1, 'x') + "/"}}, w),
              "Widget storage is limited to 64 KB");
    EXPECT_EQ(run("storage.set", {{"key", "big"}, {"value", "short"}}, w), "ok");
}

TEST_F(BridgeTest, LaunchingShortcuts) {
    const WidgetManifest w = manifest({"shortcuts"});
    EXPECT_EQ(run("shortcuts.launch", {{"id", "nope"}}, w), "Unknown shortcut");
    EXPECT_EQ(run("shortcuts.launch", {{"id", 5}}, w), "Unknown shortcut");
    const QString finder = Json::uuidText(store->preferences().shortcuts[0].id);
    EXPECT_EQ(run("shortcuts.launch", {{"id", finder}}, w), "ok");
    EXPECT_EQ(store->toast(),
              QString::fromUtf8("Finder isn’t installed. Choose another app in Settings."));

    // However many there are, a snapshot lists a bounded number; any one still launches.
    store->updatePreferences([](Preferences& p) {
        while (p.shortcuts.size() < WidgetBridge::shortcutsInSnapshot + 5)
            p.shortcuts.append(Shortcut::make("More", "org.example.more", "star"));
    });
    EXPECT_EQ(snapshot(w)["shortcuts"].toArray().size(), WidgetBridge::shortcutsInSnapshot);
    const QString last = Json::uuidText(store->preferences().shortcuts.last().id);
    EXPECT_EQ(run("shortcuts.launch", {{"id", last}}, w), "ok");

    store->updatePreferences([](Preferences& p) {
        p.launchers["launcher@1"] = {"custom", "relative/app"};
    });
    EXPECT_EQ(run("launcher.launch", {}, w, QString("launcher@1")),
              "Choose a valid application (a .desktop file or a program).");
    const QString app =
            ::writeFile(folder.filePath("org.gnome.TextEditor.desktop"), "[Desktop Entry]\n");
    launcher->names[app] = "Text Editor";
    store->updatePreferences([&](Preferences& p) {
        p.launchers["launcher@1"] = {"custom", " " + app + " "};
    });
    EXPECT_EQ(run("launcher.launch", {}, w, QString("launcher@1")), "ok");
    EXPECT_EQ(launcher->opened.last(), app);
    EXPECT_EQ(snapshot(w, QString("launcher@1"))["launcher"].toObject(),
              (QJsonObject{{"name", "Text Editor"}, {"symbol", "app"}}));
}

TEST_F(BridgeTest, OpeningAnAppTakesOneFreshGesture) {
    const WidgetManifest w = manifest({"shortcuts"});
    const QString finder = Json::uuidText(store->preferences().shortcuts[0].id);
    launcher->installed["com.apple.finder"] = ::writeFile(folder.filePath("f.desktop"), "");
    const auto none = [] { return false; };
    EXPECT_EQ(run("shortcuts.launch", {{"id", finder}}, w, {}, none),
              "Opening an app needs a tap on the widget first");
    EXPECT_EQ(run("launcher.launch", {}, w, QString("launcher@1"), none),
              "Opening an app needs a tap on the widget first");
    EXPECT_TRUE(launcher->opened.isEmpty());

    // A command that fails anyway leaves the gesture unused.
    int taken = 0;
    const auto counted = [&] { return ++taken == 1; };
    EXPECT_EQ(run("shortcuts.launch", {{"id", "nope"}}, w, {}, counted), "Unknown shortcut");
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(run("shortcuts.launch", {{"id", finder}}, w, {}, counted), "ok");
    EXPECT_EQ(run("shortcuts.launch", {{"id", finder}}, w, {}, counted),
              "Opening an app needs a tap on the widget first");
    EXPECT_EQ(launcher->opened.size(), 1);

    UserGesture gesture;
    EXPECT_FALSE(gesture.take(10));
    gesture.record(10);
    EXPECT_TRUE(gesture.take(12));
    EXPECT_FALSE(gesture.take(12)); // one action per gesture
    gesture.record(10);
    EXPECT_FALSE(gesture.take(12.01));
}

TEST_F(BridgeTest, CommandRoutingAndReplies) {
    const WidgetManifest plain = manifest({"storage"});
    EXPECT_EQ(command({{"type", "command"}, {"id", 1}, {"method", "spotify.control"}}, plain),
              (QJsonObject{{"id", 1}, {"ok", false}, {"error", "Permission was not declared"}}));
    EXPECT_EQ(command({{"id", 2}, {"method", "focus.toggle"}}, plain),
              (QJsonObject{{"id", 2},
                           {"ok", false},
                           {"error", "Action is unavailable or permission was not declared"}}));
    EXPECT_EQ(command({{"id", 3}, {"method", "teleport"}}, plain)["error"],
              "Action is unavailable or permission was not declared");
    EXPECT_EQ(command({{"id", 4},
                       {"method", "storage.set"},
                       {"arguments", QJsonObject{{"key", "a"}, {"value", "b"}}}},
                      plain),
              (QJsonObject{{"id", 4}, {"ok", true}}));
    // Arguments of another type count as none.
    EXPECT_EQ(
            command({{"id", 5}, {"method", "storage.set"}, {"arguments", "key=a"}}, plain)["error"],
            "Storage expects a key and string value");
    // No integer id or no string method: no reply at all.
    EXPECT_TRUE(command({{"id", 1.5}, {"method", "storage.set"}}, plain, false).isEmpty());
    EXPECT_TRUE(command({{"id", "6"}, {"method", "storage.set"}}, plain, false).isEmpty());
    EXPECT_TRUE(command({{"id", 7}, {"method", 3}}, plain, false).isEmpty());
    EXPECT_TRUE(command({{"method", "storage.set"}}, plain, false).isEmpty());

    // An integration command answers once its service finished.
    const WidgetManifest audio = manifest({"audio"});
    EXPECT_EQ(command({{"id", 8}, {"method", "audio.volume"}}, audio),
              (QJsonObject{{"id", 8}, {"ok", false}, {"error", "Invalid volume"}}));
}
