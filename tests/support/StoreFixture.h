#pragma once

#include "store/TarnStore.h"
#include "support/FakeClock.h"
#include "support/ManualTasks.h"
#include "support/ScriptedReadings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The sanitizers' build runs the dashboard's side many times slower and keeps freed memory aside:
// there, tests check what our code does, not what it costs, and leave to the plain build what only
// the engine's renderers do many times over.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool underSanitizers = true;
#else
constexpr bool underSanitizers = false;
#endif

class FakeLauncher : public AppLauncher {
public:
    QMap<QString, QString> installed; // bundle id -> location
    QMap<QString, QString> names;     // location -> the name its desktop entry gives
    QStringList opened;
    std::optional<QString> openError;

    std::optional<QString> locate(const QString& bundleID) override {
        if (!installed.contains(bundleID))
            return std::nullopt;
        return installed.value(bundleID);
    }
    std::optional<Application> inspect(const QString& path) override {
        if (!QFileInfo(path).isFile())
            return std::nullopt;
        return Application{QFileInfo(path).completeBaseName(),
                           "app." + QFileInfo(path).completeBaseName()};
    }
    std::optional<QString> displayName(const QString& path) override {
        return names.contains(path) ? std::optional(names.value(path)) : std::nullopt;
    }
    void open(const QString& location, Completion completion) override {
        opened.append(location);
        completion(openError);
    }
};

class FakeSound : public CompletionSound {
public:
    int plays = 0;
    void play() override { ++plays; }
};

// A store on a temporary folder with a fake clock, launcher, sound and readings. The heartbeat
// does not run by itself: tests call tick().
struct StoreFixture : testing::Test {
    QTemporaryDir folder;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<FakeLauncher> launcher = std::make_shared<FakeLauncher>();
    std::shared_ptr<FakeSound> sound = std::make_shared<FakeSound>();
    ScriptedReadings* readings = nullptr;
    std::unique_ptr<TarnStore> store;
    // When set, the store's saves and toasts wait for the test to move the clock on.
    std::shared_ptr<ManualTasks> tasks;
    // Adds what a test needs to the environment before the store is made.
    std::function<void(TarnStore::Environment&)> customize;

    QString directory() const { return folder.filePath("Tarn"); }

    void writeFile(const QString& name, const QByteArray& contents) {
        QDir().mkpath(directory());
        QFile file(QDir(directory()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QByteArray readFile(const QString& name) const {
        QFile file(QDir(directory()).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool fileExists(const QString& name) const {
        return QFile::exists(QDir(directory()).filePath(name));
    }

    TarnStore& open(std::chrono::milliseconds saveDelay = std::chrono::milliseconds(400),
                    std::chrono::milliseconds toastDuration = std::chrono::milliseconds(5000)) {
        store.reset();
        auto scripted = std::make_unique<ScriptedReadings>();
        readings = scripted.get();
        TarnStore::Environment environment;
        environment.directory = directory();
        environment.resources = folder.path();
        environment.startTimer = false;
        environment.clock = clock;
        environment.launcher = launcher;
        environment.sound = sound;
        environment.readings = std::move(scripted);
        environment.saveDelay = saveDelay;
        environment.toastDuration = toastDuration;
        if (tasks)
            environment.tasks = tasks;
        environment.integrations.settings =
                std::make_shared<QSettings>(folder.filePath("settings.ini"), QSettings::IniFormat);
        environment.integrations.homeFolder = folder.filePath("home");
        if (customize)
            customize(environment);
        store = std::make_unique<TarnStore>(std::move(environment));
        return *store;
    }
};
