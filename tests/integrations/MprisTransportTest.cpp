// The music player transport against fake MPRIS players on a private session bus, and the
// covers the dashboard reads for its pages from files and a web server of the test's own.
#include "integrations/SpotifyService.h"
#include "integrations/linux/ArtworkFetcher.h"
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

const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(120, 'p');

// The desktop's applications: a default music player, and VLC.
class MusicLauncher : public AppLauncher {
public:
    QStringList opened;
    std::optional<QString> locate(const QString& id) override {
        if (id == "com.apple.Music")
            return QString("/usr/share/applications/org.gnome.Rhythmbox3.desktop");
        if (id == "vlc")
            return QString("/usr/share/applications/vlc.desktop");
        return std::nullopt;
    }
    std::optional<Application> inspect(const QString& path) override {
        return Application{path.contains("vlc") ? "VLC media player" : "Rhythmbox", {}};
    }
    void open(const QString& location, Completion completion) override {
        opened.append(location);
        completion(std::nullopt);
    }
};

struct MprisTest : testing::Test {
    PrivateBus bus;
    QDBusConnection client = bus.connect("client");
    QDBusConnection playerBus = bus.connect("player");
    FakePlayerState player;
    std::unique_ptr<MprisPlayerTransport> transport;

    void SetUp() override {
        new FakeRootAdaptor(&player);
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

    bool follows(const QString& busName) {
        return waitUntil([&] { return transport->followed() == busName; });
    }

    // A Spotify service over the transport, after its first refresh.
    QTemporaryDir folder;
    std::unique_ptr<SpotifyService> spotify;
    SpotifyService& refreshedService(std::shared_ptr<ArtworkReader> artwork = {}) {
        spotify = std::make_unique<SpotifyService>(
                std::shared_ptr<MprisPlayerTransport>(transport.release()),
                std::make_shared<FakeClock>(),
                std::make_shared<QSettings>(folder.filePath("s.ini"), QSettings::IniFormat),
                artwork);
        refresh();
        return *spotify;
    }

    void refresh() {
        bool done = false;
        spotify->refresh([&] { done = true; });
        EXPECT_TRUE(waitUntil([&] { return done; }));
    }

    std::optional<QString> control(const QString& action, std::optional<double> value = {},
                                   std::optional<QString> uri = {}) {
        std::optional<std::optional<QString>> result;
        spotify->command(action, value, uri,
                         [&](const std::optional<QString>& error) { result = error; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(QString("no answer"));
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

    // The player's process ends without a word (its connection closes), and starts again.
    QDBusConnection::disconnectFromBus("player");
    playerBus = bus.connect("player again");
    EXPECT_TRUE(waitUntil([&] {
        refresh();
        return service.state()["connected"] == false;
    }));
    ASSERT_TRUE(playerBus.registerObject("/org/mpris/MediaPlayer2", &player));
    ASSERT_TRUE(playerBus.registerService(MprisPlayerTransport::service));
    EXPECT_TRUE(waitUntil([&] {
        refresh();
        return service.state()["title"] == "Song";
    }));
}

TEST_F(MprisTest, TheChoiceFollowsSpotifyThenThePlayerThatStartedLastThenTheLatestChange) {
    FakePlayer vlc(bus.connect("vlc"), "vlc", "VLC media player");
    FakePlayer mpv(bus.connect("mpv"), "mpv", "mpv Media Player");
    ASSERT_TRUE(vlc.start());
    ASSERT_TRUE(follows(vlc.name));
    EXPECT_TRUE(waitUntil([&] { return transport->playerName() == "VLC media player"; }));
    ASSERT_TRUE(mpv.start());
    EXPECT_TRUE(follows(mpv.name)); // the latest to come

    vlc.state.setStatus("Playing", vlc.bus);
    EXPECT_TRUE(follows(vlc.name));
    mpv.state.setStatus("Playing", mpv.bus);
    EXPECT_TRUE(follows(mpv.name));
    mpv.state.setStatus("Paused", mpv.bus);
    EXPECT_TRUE(follows(vlc.name)); // the one still playing

    player.playbackStatus = "Paused";
    startPlayer();
    EXPECT_TRUE(follows(MprisPlayerTransport::service)); // Spotify, whatever plays

    transport->pin(mpv.name);
    EXPECT_EQ(transport->followed(), mpv.name);
    transport->pin(QString("org.mpris.MediaPlayer2.gone"));
    EXPECT_FALSE(transport->isRunning());
    EXPECT_EQ(transport->playerName(), "gone");
    transport->pin(std::nullopt);

    // Quitting mid-track: the next answer is the next player's.
    SpotifyService& service = refreshedService();
    EXPECT_EQ(service.state()["player"], "Spotify");
    EXPECT_EQ(service.state()["title"], "Song");
    playerBus.unregisterService(MprisPlayerTransport::service);
    vlc.quit();
    EXPECT_TRUE(waitUntil([&] {
        refresh();
        return service.state()["title"] == "mpv Media Player song";
    }));
    EXPECT_EQ(service.state()["player"], "mpv Media Player");
    EXPECT_EQ(service.state()["uri"], ""); // a path on this computer stays here
    mpv.quit();
    EXPECT_TRUE(waitUntil([&] {
        refresh();
        return service.state()["connected"] == false;
    }));
}

TEST_F(MprisTest, WhatAPlayerCannotDoIsGreyedAndRefusedWithoutReachingIt) {
    FakePlayer vlc(bus.connect("vlc"), "vlc", "VLC media player");
    vlc.state.canGoNext = false;
    vlc.state.canSeek = false;
    vlc.state.metadata["mpris:length"] = qlonglong(200000000);
    ASSERT_TRUE(vlc.start());
    ASSERT_TRUE(follows(vlc.name));
    SpotifyService& service = refreshedService();
    const QJsonObject state = service.state();
    EXPECT_EQ(state["canGoNext"], false);
    EXPECT_EQ(state["canSeek"], false);
    EXPECT_EQ(state["canGoPrevious"], true);
    EXPECT_EQ(state["canShuffle"], true);

    EXPECT_EQ(control("next"), QString::fromUtf8("VLC media player can’t go to the next track"));
    EXPECT_EQ(control("seek", 10), QString::fromUtf8("VLC media player can’t seek in this track"));
    EXPECT_EQ(control("playURI", {}, QString("spotify:track:abc")),
              QString::fromUtf8("VLC media player can’t play Spotify links"));
    EXPECT_EQ(control("previous"), std::nullopt);
    EXPECT_EQ(vlc.state.calls, QStringList({"Previous"}));
}

TEST_F(MprisTest, CoversAreReadFromFilesAndTheWebAndOnlyImagesWithinTheLimitsAreKept) {
    QTemporaryDir files;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(files.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return QUrl::fromLocalFile(file.fileName()).toString();
    };
    FakeCoverServer web;
    web.answer = FakeCoverServer::reply("image/png", png);
    player.metadata["mpris:artUrl"] = web.url("/cover.png");
    startPlayer();
    SpotifyService& service = refreshedService(std::make_shared<ArtworkFetcher>(500));
    const auto artwork = [&] { return service.state()["artwork"].toString(); };
    ASSERT_TRUE(waitUntil([&] { return !artwork().isEmpty(); }));
    EXPECT_TRUE(artwork().startsWith("/_tarn/artwork/"));
    const QString name = artwork().section('/', -1);
    EXPECT_EQ(service.artwork(name)->bytes, png);
    EXPECT_EQ(service.artwork(name)->mimeType, "image/png");

    // The old picture is gone at once, as the refresh ends; the new one, read from a file on
    // another thread, may follow in the same turn of the event loop.
    player.metadata["mpris:artUrl"] = write("cover.png", png);
    std::optional<QString> atRefresh;
    spotify->refresh([&] { atRefresh = artwork(); });
    ASSERT_TRUE(waitUntil([&] { return atRefresh.has_value(); }));
    EXPECT_EQ(atRefresh, "");
    ASSERT_TRUE(waitUntil([&] { return !artwork().isEmpty(); }));
    EXPECT_FALSE(service.artwork(name)); // under its old name
    EXPECT_EQ(service.artwork(artwork().section('/', -1))->bytes, png);

    // What is no image, too big, behind a link or neither on the web nor here is not shown.
    ASSERT_TRUE(QFile::link(files.filePath("cover.png"), files.filePath("link.png")));
    FakeCoverServer page;
    page.answer = FakeCoverServer::reply("text/html", png);
    const QStringList refused = {
            write("text.png", "<svg xmlns='http://www.w3.org/2000/svg'/>"),
            write("huge.png", png + QByteArray(ArtworkReader::maximumBytes, 0)),
            QUrl::fromLocalFile(files.filePath("link.png")).toString(), page.url("/page.png"),
            "ftp://127.0.0.1/cover.png"};
    for (const QString& url : refused) {
        player.metadata["mpris:artUrl"] = url;
        refresh();
        spin(300);
        refresh();
        EXPECT_EQ(artwork(), "") << url.toStdString();
    }
    EXPECT_EQ(page.requests, 1);

    // A server that never answers is given up on.
    FakeCoverServer silent;
    ArtworkFetcher fetcher(300);
    std::optional<std::optional<QByteArray>> answer;
    fetcher.read(silent.url("/slow.png"), &service,
                 [&](const std::optional<QByteArray>& bytes) { answer = bytes; });
    EXPECT_TRUE(waitUntil([&] { return answer.has_value(); }, 3000));
    ASSERT_TRUE(answer.has_value());
    EXPECT_FALSE(answer->has_value());
}

TEST_F(MprisTest, ConnectOpensTheDesktopsMusicPlayerOrThePinnedOneWhileNoneRuns) {
    auto launcher = std::make_shared<MusicLauncher>();
    transport = std::make_unique<MprisPlayerTransport>(launcher, client, 500);
    SpotifyService& service = refreshedService();
    EXPECT_EQ(service.state()["message"], "Open Rhythmbox to resume playback controls.");
    std::optional<std::optional<QString>> result;
    service.connect([&](const std::optional<QString>& error) { result = error; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_EQ(*result, std::nullopt);

    service.pin(QString("org.mpris.MediaPlayer2.vlc"));
    refresh();
    EXPECT_EQ(service.state()["message"], "Open VLC media player to resume playback controls.");
    result.reset();
    service.connect([&](const std::optional<QString>& error) { result = error; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_EQ(launcher->opened, QStringList({"/usr/share/applications/org.gnome.Rhythmbox3.desktop",
                                             "/usr/share/applications/vlc.desktop"}));
}
