// The music player transport against a fake MPRIS player on a private session bus.
#include "integrations/SpotifyService.h"
#include "integrations/linux/MprisPlayerTransport.h"
#include "support/EventLoop.h"
#include "support/FakeClock.h"
#include "support/FakeMprisPlayer.h"
#include "support/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace {

class NoLauncher : public AppLauncher {
public:
    std::optional<QString> locate(const QString&) override { return std::nullopt; }
    std::optional<Application> inspect(const QString&) override { return std::nullopt; }
    void open(const QString&, Completion completion) override { completion(QString("no")); }
};

struct MprisTest : testing::Test {
    PrivateBus bus;
    QDBusConnection client = bus.connect("client");
    QDBusConnection playerBus = bus.connect("player");
    FakePlayerState player;
    std::unique_ptr<MprisPlayerTransport> transport;

    void SetUp() override {
        new FakePlayerAdaptor(&player);
        player.metadata = {
                {"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/com/spotify/track/6rqh"))},
                {"xesam:title", "Song"},
                {"xesam:artist", QStringList{"Ann", "Bob"}},
                {"xesam:album", "Album"},
                {"mpris:artUrl", "https://i.scdn.co/image/ab"},
                {"xesam:url", "https://open.spotify.com/track/6rqh"},
                {"mpris:length", qlonglong(215000000)}};
        player.position = 12500000;
        player.playbackStatus = "Playing";
        player.volume = 0.64;
        transport =
                std::make_unique<MprisPlayerTransport>(std::make_shared<NoLauncher>(), client, 500);
    }

    void startPlayer() {
        ASSERT_TRUE(playerBus.registerObject("/org/mpris/MediaPlayer2", &player));
        ASSERT_TRUE(playerBus.registerService(MprisPlayerTransport::service));
        ASSERT_TRUE(waitUntil([&] { return transport->isRunning(); }));
    }

    // A Spotify service over the transport, after its first refresh.
    QTemporaryDir folder;
    std::unique_ptr<SpotifyService> spotify;
    SpotifyService& refreshedService() {
        spotify = std::make_unique<SpotifyService>(
                std::shared_ptr<MprisPlayerTransport>(transport.release()),
                std::make_shared<FakeClock>(),
                std::make_shared<QSettings>(folder.filePath("s.ini"), QSettings::IniFormat));
        bool done = false;
        spotify->refresh([&] { done = true; });
        EXPECT_TRUE(waitUntil([&] { return done; }));
        return *spotify;
    }

    PlayerTransport::Reply run(const QString& body) {
        std::optional<PlayerTransport::Reply> reply;
        QObject receiver;
        transport->run(body, &receiver, [&](const PlayerTransport::Reply& r) { reply = r; });
        EXPECT_TRUE(waitUntil([&] { return reply.has_value(); }));
        return reply.value_or(PlayerTransport::Reply{});
    }
};

} // namespace

TEST_F(MprisTest, StateQueryGivesTheElevenItems) {
    EXPECT_FALSE(transport->isRunning());
    EXPECT_TRUE(transport->permitted());
    startPlayer();
    const auto reply = run(SpotifyService::stateQuery());
    ASSERT_TRUE(reply.ok) << reply.message.toStdString();
    EXPECT_EQ(reply.items, QStringList({"Song", "Ann, Bob", "Album", "https://i.scdn.co/image/ab",
                                        "https://open.spotify.com/track/6rqh", "215000", "12.5",
                                        "playing", "64", "false", "false"}));

    // Without a track the reply is short.
    player.metadata.clear();
    EXPECT_LT(run(SpotifyService::stateQuery()).items.size(), 11);

    // Values of unexpected types read as empty or zero rather than failing.
    player.metadata = {{"xesam:title", 42}, {"xesam:artist", "Solo"}, {"mpris:length", "long"}};
    const auto odd = run(SpotifyService::stateQuery());
    ASSERT_EQ(odd.items.size(), 11);
    EXPECT_EQ(odd.items[1], "Solo");
    EXPECT_EQ(odd.items[5], "0");
}

TEST_F(MprisTest, EveryControl) {
    startPlayer();
    for (const char* body : {"playpause", "next track", "previous track",
                             "play track \"spotify:track:abc\"", "set player position to 30.0"})
        EXPECT_TRUE(run(body).ok) << body;
    EXPECT_EQ(player.calls,
              QStringList({"PlayPause", "Next", "Previous", "OpenUri spotify:track:abc",
                           "SetPosition /com/spotify/track/6rqh 30000000"}));
    EXPECT_TRUE(run("set sound volume to 55").ok);
    EXPECT_DOUBLE_EQ(player.volume, 0.55);
    EXPECT_TRUE(run("set shuffling to not shuffling").ok);
    EXPECT_TRUE(player.shuffle);
    EXPECT_TRUE(run("set repeating to not repeating").ok);
    EXPECT_EQ(player.loopStatus, "Playlist");
    EXPECT_TRUE(run("set repeating to not repeating").ok);
    EXPECT_EQ(player.loopStatus, "None");
    EXPECT_FALSE(run("tell me a story").ok);
}

TEST_F(MprisTest, RefusalsAndAbsence) {
    startPlayer();
    player.refuse = true;
    const auto refused = run("playpause");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.code, PlayerTransport::notPermitted);

    playerBus.unregisterService(MprisPlayerTransport::service);
    ASSERT_TRUE(waitUntil([&] { return !transport->isRunning(); }));
    const auto absent = run("next track");
    EXPECT_FALSE(absent.ok);
    EXPECT_NE(absent.code, PlayerTransport::timedOut);
    EXPECT_FALSE(absent.message.isEmpty());
}

TEST_F(MprisTest, APlayerThatNeverAnswersTimesOut) {
    QProcess hung;
    hung.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    hung.start(TABLORA_HUNG_PLAYER, {bus.address()});
    ASSERT_TRUE(hung.waitForReadyRead(10000));
    ASSERT_TRUE(waitUntil([&] { return transport->isRunning(); }));

    const auto reply = run(SpotifyService::stateQuery());
    EXPECT_EQ(reply.code, PlayerTransport::timedOut);

    // Through the service: the retry message and five seconds of rest.
    SpotifyService& service = refreshedService();
    EXPECT_EQ(service.state()["message"], QString::fromUtf8("Spotify didn’t respond. Retrying…"));
    hung.kill();
    hung.waitForFinished();
}

TEST_F(MprisTest, TheServiceThroughTheBus) {
    startPlayer();
    SpotifyService& service = refreshedService();
    EXPECT_EQ(service.state()["title"], "Song");
    EXPECT_EQ(service.state()["duration"], 215);
    EXPECT_EQ(service.state()["playing"], true);

    std::optional<std::optional<QString>> result;
    service.command("seek", 300, {}, [&](const std::optional<QString>& error) { result = error; });
    EXPECT_EQ(result, std::optional<QString>("Invalid position"));
    result.reset();
    service.command("volume", 20, {}, [&](const std::optional<QString>& error) { result = error; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_FALSE(*result);
    EXPECT_EQ(service.state()["volume"], 20);
}
