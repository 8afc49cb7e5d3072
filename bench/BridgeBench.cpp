// Building and serialising the snapshot of a widget that declares every permission.
#include "app/TarnStore.h"
#include "integrations/linux/LinuxMachineReadings.h"
#include "model/JsonCoding.h"
#include "widgets/WidgetBridge.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void snapshotWithEveryPermission(benchmark::State& state) {
    QTemporaryDir folder;
    TarnStore::Environment environment;
    environment.directory = folder.path();
    environment.startTimer = false;
    environment.readings = std::make_unique<LinuxMachineReadings>();
    TarnStore store(std::move(environment));
    for (int i = 0; i < 91; ++i)
        store.tick(QDateTime::currentDateTimeUtc()); // full histories of this machine
    WidgetManifest manifest;
    manifest.id = QStringLiteral("com.example.everything");
    manifest.permissions = QStringList(WidgetManifest::supportedPermissions().begin(),
                                       WidgetManifest::supportedPermissions().end());
    for (auto _ : state) {
        const QByteArray json = Json::fastCompact(
                WidgetBridge::snapshot(manifest, store, QStringLiteral("everything@1")));
        benchmark::DoNotOptimize(json.data());
    }
}
BENCHMARK(snapshotWithEveryPermission)->Unit(benchmark::kMicrosecond);

// The two halves on their own, to see where the time goes.
void snapshotOnly(benchmark::State& state) {
    QTemporaryDir folder;
    TarnStore::Environment environment;
    environment.directory = folder.path();
    environment.startTimer = false;
    environment.readings = std::make_unique<LinuxMachineReadings>();
    TarnStore store(std::move(environment));
    for (int i = 0; i < 91; ++i)
        store.tick(QDateTime::currentDateTimeUtc());
    WidgetManifest manifest;
    manifest.id = QStringLiteral("com.example.everything");
    manifest.permissions = QStringList(WidgetManifest::supportedPermissions().begin(),
                                       WidgetManifest::supportedPermissions().end());
    const QJsonObject built =
            WidgetBridge::snapshot(manifest, store, QStringLiteral("everything@1"));
    const bool build = state.range(0) == 0;
    for (auto _ : state) {
        if (build)
            benchmark::DoNotOptimize(
                    WidgetBridge::snapshot(manifest, store, QStringLiteral("everything@1")));
        else
            benchmark::DoNotOptimize(Json::fastCompact(built));
    }
}
BENCHMARK(snapshotOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
