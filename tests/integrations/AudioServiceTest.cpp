#include "integrations/AudioService.h"

#include "integrations/linux/PulseAudioBackend.h"
#include "support/EventLoop.h"
#include "support/PulseServer.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// A sound system whose answers the test decides.
class FakeAudioBackend : public AudioBackend {
public:
    QList<Output> list{{"40", "Speakers"}, {"41", ""}};
    std::optional<QString> defaultID = QString("40");
    std::optional<double> level = 0.5;
    std::optional<bool> mute = false;
    bool writesSucceed = true;
    MicrophoneStart microphone = MicrophoneStart::started;
    LevelHandler levelHandler;
    QStringList writes;

    QList<Output> outputs() const override { return list; }
    std::optional<QString> defaultOutput() const override { return defaultID; }
    std::optional<double> volume() const override { return level; }
    std::optional<bool> muted() const override { return mute; }
    void setVolume(double volume, QObject*, Completion completion) override {
        writes.append(QString("volume %1").arg(volume));
        if (writesSucceed)
            level = volume;
        completion(writesSucceed);
    }
    void setMuted(bool muted, QObject*, Completion completion) override {
        writes.append(QString("mute %1").arg(muted));
        if (writesSucceed)
            mute = muted;
        completion(writesSucceed);
    }
    void setDefaultOutput(const QString& id, QObject*, Completion completion) override {
        writes.append("output " + id);
        if (writesSucceed)
            defaultID = id;
        completion(writesSucceed);
    }
    void startMicrophone(QObject*, LevelHandler level, StartHandler started) override {
        levelHandler = level;
        started(microphone, "server says no");
    }
    void stopMicrophone() override { levelHandler = nullptr; }
};

std::optional<QString> call(const std::function<void(AudioService::Done)>& operation) {
    std::optional<std::optional<QString>> result;
    operation([&](const std::optional<QString>& error) { result = error; });
    EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
    return result.value_or(QString("no answer"));
}

struct AudioTest : testing::Test {
    std::shared_ptr<FakeAudioBackend> backend = std::make_shared<FakeAudioBackend>();
    AudioService service{backend};
};

} // namespace

TEST_F(AudioTest, StateShape) {
    service.refresh();
    const QJsonObject state = service.state();
    EXPECT_EQ(state.keys(), QStringList({"canMute", "level", "microphone", "microphoneMessage",
                                         "muted", "output", "outputs", "volume"}));
    EXPECT_EQ(state["outputs"].toArray()[1].toObject()["name"], "Audio device");
    EXPECT_EQ(state["output"], "40");
    EXPECT_EQ(state["volume"], 0.5);
    EXPECT_EQ(state["canMute"], true);
    EXPECT_EQ(state["microphoneMessage"], "Microphone meter is off");

    backend->level.reset();
    backend->mute.reset();
    service.refresh();
    EXPECT_TRUE(service.state()["volume"].isNull());
    EXPECT_EQ(service.state()["canMute"], false);
    EXPECT_EQ(service.state()["muted"], false);
}

TEST_F(AudioTest, ChangesAndTheirMessages) {
    service.refresh();
    EXPECT_EQ(call([&](auto done) { service.setVolume(1.2, done); }), "Invalid volume");
    EXPECT_EQ(call([&](auto done) { service.setVolume(-1, done); }), "Invalid volume");
    EXPECT_EQ(call([&](auto done) { service.setVolume(qQNaN(), done); }), "Invalid volume");
    EXPECT_EQ(call([&](auto done) { service.setVolume(0.25, done); }), std::nullopt);
    EXPECT_EQ(service.state()["volume"], 0.25);
    EXPECT_EQ(call([&](auto done) { service.mute(done); }), std::nullopt);
    EXPECT_EQ(service.state()["muted"], true);
    EXPECT_EQ(call([&](auto done) { service.output("+41", done); }), std::nullopt);
    EXPECT_EQ(service.state()["output"], "41");
    for (const char* id : {"99", "forty", "", "-40", "40.0"})
        EXPECT_EQ(call([&](auto done) { service.output(id, done); }), "Audio device is unavailable")
                << id;

    backend->writesSucceed = false;
    EXPECT_EQ(call([&](auto done) { service.setVolume(0.5, done); }),
              "This output has fixed volume; use its hardware controls");
    EXPECT_EQ(call([&](auto done) { service.mute(done); }), "This device does not support mute");
    EXPECT_EQ(call([&](auto done) { service.output("40", done); }),
              "Could not switch audio output");

    backend->level.reset();
    backend->mute.reset();
    EXPECT_EQ(call([&](auto done) { service.setVolume(0.5, done); }),
              "This output has fixed volume; use its hardware controls");
    EXPECT_EQ(call([&](auto done) { service.mute(done); }), "This device does not support mute");
}

TEST_F(AudioTest, MicrophoneMeter) {
    EXPECT_EQ(call([&](auto done) { service.microphone(done); }), std::nullopt);
    EXPECT_TRUE(service.isMicrophoneOn());
    EXPECT_EQ(service.state()["microphoneMessage"],
              QString::fromUtf8("Live microphone · −60 to 0 dBFS"));
    backend->levelHandler(-30);
    EXPECT_DOUBLE_EQ(service.level(), 0.5);
    backend->levelHandler(-90);
    EXPECT_EQ(service.level(), 0);

    // Stopping resets the level; a late level changes nothing.
    const auto late = backend->levelHandler;
    service.stopMicrophone();
    late(0);
    EXPECT_EQ(service.level(), 0);
    EXPECT_EQ(service.state()["microphone"], false);
    EXPECT_EQ(service.state()["microphoneMessage"], "Microphone meter is off");

    backend->microphone = AudioBackend::MicrophoneStart::refused;
    EXPECT_EQ(call([&](auto done) { service.microphone(done); }),
              "The sound server refused the microphone. Allow microphone access in your sound "
              "settings to enable metering");
    backend->microphone = AudioBackend::MicrophoneStart::noInput;
    EXPECT_EQ(call([&](auto done) { service.microphone(done); }), "No microphone is available");
    EXPECT_FALSE(service.isMicrophoneOn());
}

TEST(AudioLevel, FormulaFromSamples) {
    const std::vector<float> silence(2048, 0.0f);
    EXPECT_EQ(AudioLevel::meterLevel(AudioLevel::decibels(silence.data(), 2048)), 0);
    std::vector<float> square(2048);
    for (size_t i = 0; i < square.size(); ++i)
        square[i] = i % 2 ? 1.0f : -1.0f;
    EXPECT_DOUBLE_EQ(AudioLevel::meterLevel(AudioLevel::decibels(square.data(), 2048)), 1);
    std::vector<float> quiet(2048, float(std::pow(10.0, -30.0 / 20)));
    EXPECT_NEAR(AudioLevel::meterLevel(AudioLevel::decibels(quiet.data(), 2048)), 0.5, 1e-6);
    EXPECT_EQ(AudioLevel::decibels(nullptr, 0), -120);
}

// ---- Against a real sound server

struct PulseTest : testing::Test {
    PulseServer server;
    std::shared_ptr<PulseAudioBackend> backend = std::make_shared<PulseAudioBackend>();
    AudioService service{backend};

    void SetUp() override {
        ASSERT_TRUE(waitUntil(
                [&] {
                    service.refresh();
                    return service.state()["outputs"].toArray().size() == 2 &&
                           !service.state()["output"].toString().isEmpty();
                },
                10000));
    }

    QString idOf(const QString& name) {
        for (const QJsonValue& output : service.state()["outputs"].toArray()) {
            if (output.toObject()["name"] == name)
                return output.toObject()["id"].toString();
        }
        return {};
    }
};

TEST_F(PulseTest, OutputsVolumeMuteAndSwitching) {
    EXPECT_EQ(service.state()["output"].toString(), idOf("Test Sink A"));
    EXPECT_FALSE(idOf("Test Sink B").isEmpty());
    EXPECT_NEAR(service.state()["volume"].toDouble(), 1.0, 0.01);
    EXPECT_EQ(service.state()["canMute"], true);

    EXPECT_EQ(call([&](auto done) { service.setVolume(0.4, done); }), std::nullopt);
    EXPECT_NEAR(service.state()["volume"].toDouble(), 0.4, 0.01);
    // The server's own notification agrees.
    EXPECT_TRUE(waitUntil([&] {
        service.refresh();
        return std::abs(service.state()["volume"].toDouble() - 0.4) < 0.01;
    }));

    EXPECT_EQ(call([&](auto done) { service.mute(done); }), std::nullopt);
    EXPECT_EQ(service.state()["muted"], true);
    EXPECT_EQ(call([&](auto done) { service.mute(done); }), std::nullopt);
    EXPECT_EQ(service.state()["muted"], false);

    const QString sinkB = idOf("Test Sink B");
    EXPECT_EQ(call([&](auto done) { service.output(sinkB, done); }), std::nullopt);
    EXPECT_EQ(service.state()["output"], sinkB);
    QProcess info;
    info.start("pactl", {"get-default-sink"});
    info.waitForFinished(5000);
    EXPECT_EQ(info.readAllStandardOutput().trimmed(), "sinkB");

    EXPECT_EQ(call([&](auto done) { service.output("4000", done); }),
              "Audio device is unavailable");
}

TEST_F(PulseTest, TheMeterHearsAToneAtMinus30dBFS) {
    EXPECT_EQ(call([&](auto done) { service.microphone(done); }), std::nullopt);
    ASSERT_TRUE(service.isMicrophoneOn());
    server.playTone(-30, 4);
    EXPECT_TRUE(waitUntil([&] { return std::abs(service.level() - 0.5) < 0.05; }, 8000))
            << "level " << service.level();
    service.stopMicrophone();
    EXPECT_EQ(service.level(), 0);
}

TEST_F(PulseTest, ARestartOfTheServerIsFollowedAndTheMeterCarriesOn) {
    EXPECT_EQ(call([&](auto done) { service.microphone(done); }), std::nullopt);
    server.playTone(-30, 10);
    ASSERT_TRUE(waitUntil([&] { return std::abs(service.level() - 0.5) < 0.05; }, 8000));
    // Gone: no outputs, and silence rather than the last level heard.
    server.stop();
    EXPECT_TRUE(waitUntil([&] {
        service.refresh();
        return service.state()["outputs"].toArray().isEmpty();
    }));
    EXPECT_EQ(service.level(), 0);

    QElapsedTimer restarted;
    server.start();
    restarted.start();
    ASSERT_TRUE(waitUntil(
            [&] {
                service.refresh();
                return service.state()["outputs"].toArray().size() == 2;
            },
            10000));
    EXPECT_LT(restarted.elapsed(), 5000);
    EXPECT_TRUE(service.isMicrophoneOn());
    server.playTone(-30, 4);
    EXPECT_TRUE(waitUntil([&] { return std::abs(service.level() - 0.5) < 0.05; }, 8000))
            << "level " << service.level();
}

TEST(PulseAbsent, NoServerMeansNoOutputs) {
    qputenv("PULSE_SERVER", "unix:/nonexistent/socket");
    PulseAudioBackend backend;
    AudioService service{std::shared_ptr<AudioBackend>(&backend, [](AudioBackend*) {})};
    spin(300);
    service.refresh();
    EXPECT_TRUE(service.state()["outputs"].toArray().isEmpty());
    EXPECT_TRUE(service.state()["volume"].isNull());
    EXPECT_EQ(call([&](auto done) { service.microphone(done); }), "No microphone is available");
    qunsetenv("PULSE_SERVER");
}
