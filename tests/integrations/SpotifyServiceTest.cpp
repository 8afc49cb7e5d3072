#include "integrations/SpotifyService.h"

#include "support/EventLoop.h"
#include "support/FakeClock.h"

#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A player that answers what the test says, after a turn of the event loop.
class FakeTransport : public PlayerTransport {
public:
    bool permission = false;
    bool running = true;
    bool installed = true;
    std::optional<QString> launchError;
    Reply nextReply{true, QStringList(11, "x"), 0, {}};
    QStringList bodies;
    int permissionChecks = 0;
    int launches = 0;

    void run(const QString& body, QObject* receiver, Completion completion) override {
        bodies.append(body);
        const Reply reply = nextReply;
        QTimer::singleShot(0, receiver, [completion, reply] { completion(reply); });
    }
    bool permitted() override {
        ++permissionChecks;
        return permission;
    }
    bool isRunning() override { return running; }
    bool isInstalled() override { return installed; }
    void launch(QObject*, std::function<void(const std::optional<QString>&)> done) override {
        ++launches;
        if (!launchError)
            running = true;
        done(launchError);
    }
};

QStringList track() {
    return {"Song",
            "Artist",
            "Album",
            "https://i.scdn.co/a.jpg",
            "https://open.spotify.com/track/1",
            "215000",
            "12.5",
            "playing",
            "64",
            "true",
            "false"};
}

struct SpotifyTest : testing::Test {
    QTemporaryDir folder;
    std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<QSettings> settings =
            std::make_shared<QSettings>(folder.filePath("settings.ini"), QSettings::IniFormat);
    SpotifyService service{transport, clock, settings};

    void refresh() {
        bool done = false;
        service.refresh([&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }));
    }

    std::optional<QString> connect() {
        std::optional<std::optional<QString>> result;
        service.connect([&](const std::optional<QString>& error) { result = error; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(QString("no answer"));
    }

    std::optional<QString> control(const QString& action, std::optional<double> value = {},
                                   std::optional<QString> uri = {}) {
        std::optional<std::optional<QString>> result;
        service.command(action, value, uri,
                        [&](const std::optional<QString>& error) { result = error; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(QString("no answer"));
    }

    QString message() const { return service.state()["message"].toString(); }
};

} // namespace

TEST_F(SpotifyTest, ThePermissionIsCheckedOnceSilently) {
    EXPECT_EQ(message(), "Connect Spotify to control the desktop app.");
    refresh();
    refresh();
    EXPECT_EQ(transport->permissionChecks, 1);
    EXPECT_TRUE(transport->bodies.isEmpty());
    EXPECT_EQ(message(), "Connect Spotify to control the desktop app.");
    EXPECT_EQ(control("toggle"), "Connect Spotify first");
}

TEST_F(SpotifyTest, AllowedPlayerShowsTheTrack) {
    transport->permission = true;
    transport->nextReply.items = track();
    refresh();
    EXPECT_EQ(transport->bodies, QStringList({SpotifyService::stateQuery()}));
    const QJsonObject state = service.state();
    // The original twelve keys, the player's name and what it can do.
    EXPECT_EQ(state.size(), 21);
    EXPECT_EQ(state["player"], "Spotify");
    EXPECT_EQ(state["canGoNext"], true);
    EXPECT_EQ(state["artwork"], ""); // no cover without a reader for it
    EXPECT_EQ(state["connected"], true);
    EXPECT_EQ(state["title"], "Song");
    EXPECT_EQ(state["duration"], 215.0);
    EXPECT_EQ(state["position"], 12.5);
    EXPECT_EQ(state["playing"], true);
    EXPECT_EQ(state["volume"], 64);
    EXPECT_EQ(state["shuffle"], true);
    EXPECT_EQ(state["repeat"], false);

    QStringList odd = track();
    odd[5] = "n/a";
    odd[7] = "Playing";
    transport->nextReply.items = odd;
    refresh();
    EXPECT_EQ(service.state()["duration"], 0);
    EXPECT_EQ(service.state()["playing"], false);
}

TEST_F(SpotifyTest, FailuresAndBackOff) {
    transport->permission = true;
    transport->running = false;
    refresh();
    EXPECT_EQ(message(), "Open Spotify to resume playback controls.");
    EXPECT_TRUE(transport->bodies.isEmpty());

    transport->running = true;
    transport->nextReply = {true, QStringList(10, "x"), 0, {}};
    refresh();
    EXPECT_EQ(
            message(),
            "Spotify: Play a track in Spotify to get started. Play a track or try Connect again.");
    const int asked = int(transport->bodies.size());
    clock->advance(4.9);
    refresh();
    EXPECT_EQ(transport->bodies.size(), asked); // still backing off
    clock->advance(0.1);
    transport->nextReply = {false, {}, PlayerTransport::timedOut, "No reply"};
    refresh();
    EXPECT_EQ(message(), QString::fromUtf8("Spotify didn’t respond. Retrying…"));
    clock->advance(5);
    transport->nextReply = {false, {}, -1, ""};
    refresh();
    EXPECT_EQ(message(), "Spotify: Spotify did not respond. Play a track or try Connect again.");

    clock->advance(5);
    transport->nextReply = {false, {}, PlayerTransport::notPermitted, "Denied"};
    refresh();
    EXPECT_EQ(message(), "Tablora may not control Spotify: the session bus refused the request.");
    EXPECT_FALSE(service.isConnected());
    refresh(); // disconnected and checked: nothing more is asked
    EXPECT_EQ(transport->permissionChecks, 1);
}

TEST_F(SpotifyTest, ConnectLaunchesAndRemembers) {
    transport->installed = false;
    EXPECT_EQ(connect(), "Install the Spotify desktop app first");

    transport->installed = true;
    transport->running = false;
    transport->launchError = "Permission denied";
    EXPECT_EQ(connect(), "Permission denied");
    EXPECT_FALSE(settings->value("spotifyEnabled").toBool());

    transport->launchError.reset();
    transport->nextReply.items = track();
    EXPECT_EQ(connect(), std::nullopt);
    EXPECT_EQ(transport->launches, 2);
    EXPECT_TRUE(settings->value("spotifyEnabled").toBool());
    EXPECT_TRUE(service.isConnected());
    EXPECT_EQ(service.state()["title"], "Song");
}

TEST(SpotifyControls, BodiesAndValidation) {
    const QJsonObject withDuration{{"duration", 29.5}};
    const auto body = [&](const QString& action, std::optional<double> value = {},
                          std::optional<QString> uri = {}, QJsonObject state = {}) {
        const auto result = SpotifyService::controlBody(action, value, uri, state);
        return result.body.value_or("error: " + result.error);
    };
    EXPECT_EQ(body("toggle"), "playpause");
    EXPECT_EQ(body("next"), "next track");
    EXPECT_EQ(body("previous"), "previous track");
    EXPECT_EQ(body("shuffle"), "set shuffling to not shuffling");
    EXPECT_EQ(body("repeat"), "set repeating to not repeating");
    EXPECT_EQ(body("volume", 55.9), "set sound volume to 55");
    EXPECT_EQ(body("volume", 100.5), "error: Invalid volume");
    EXPECT_EQ(body("volume"), "error: Invalid volume");
    EXPECT_EQ(body("volume", qQNaN()), "error: Invalid volume");
    EXPECT_EQ(body("seek", 30, {}, withDuration), "error: Invalid position");
    EXPECT_EQ(body("seek", 12.5, {}, withDuration), "set player position to 12.5");
    EXPECT_EQ(body("seek", 0), "set player position to 0.0");
    EXPECT_EQ(body("seek", 3), "error: Invalid position");
    EXPECT_EQ(body("seek", -1, {}, withDuration), "error: Invalid position");
    EXPECT_EQ(body("playURI", {}, "spotify:track:6rqhFgbbKwnb9MLmUQDhG6"),
              "play track \"spotify:track:6rqhFgbbKwnb9MLmUQDhG6\"");
    EXPECT_EQ(body("playURI", {}, "spotify:episode:abc"),
              "error: Use a Spotify track, album or playlist URI");
    EXPECT_EQ(body("playURI", {}, "spotify:track:abc\" & quit"),
              "error: Use a Spotify track, album or playlist URI");
    EXPECT_EQ(body("dance"), "error: Unknown Spotify control");
}

TEST_F(SpotifyTest, ControlsRunThenRefresh) {
    transport->permission = true;
    transport->nextReply.items = track();
    refresh();
    EXPECT_EQ(control("volume", 150), "Invalid volume");
    EXPECT_EQ(control("next"), std::nullopt);
    EXPECT_EQ(transport->bodies.mid(1), QStringList({"next track", SpotifyService::stateQuery()}));
    transport->nextReply = {false, {}, -1, "Player refused"};
    EXPECT_EQ(control("toggle"), "Player refused");
}
