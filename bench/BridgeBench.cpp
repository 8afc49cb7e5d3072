// Building and serialising the snapshot of a widget that declares every permission.
#include "integrations/linux/LinuxMachineReadings.h"
#include "model/JsonCoding.h"
#include "store/TarnStore.h"
#include "widgets/WidgetBridge.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A store whose histories are full of this machine's samples, and a widget that declares every
// permission.
struct Everything {
    QTemporaryDir folder;
    std::unique_ptr<TarnStore> store;
    WidgetManifest manifest;

    Everything() {
        TarnStore::Environment environment;
        environment.directory = folder.path();
        environment.startTimer = false;
        environment.readings = std::make_unique<LinuxMachineReadings>();
        store = std::make_unique<TarnStore>(std::move(environment));
        for (int i = 0; i < 91; ++i)
            store->tick(QDateTime::currentDateTimeUtc());
        manifest.id = QStringLiteral("com.example.everything");
        manifest.permissions = QStringList(WidgetManifest::supportedPermissions().begin(),
                                           WidgetManifest::supportedPermissions().end());
    }

    QJsonObject snapshot() {
        return WidgetBridge::snapshot(manifest, *store, QStringLiteral("everything@1"));
    }
};

void snapshotWithEveryPermission(benchmark::State& state) {
    Everything everything;
    for (auto _ : state) {
        const QByteArray json = Json::fastCompact(everything.snapshot());
        benchmark::DoNotOptimize(json.data());
    }
}
BENCHMARK(snapshotWithEveryPermission)->Unit(benchmark::kMicrosecond);

// The two halves on their own, to see where the time goes.
void snapshotOnly(benchmark::State& state) {
    Everything everything;
    const QJsonObject built = everything.snapshot();
    const bool build = state.range(0) == 0;
    for (auto _ : state) {
        if (build)
            benchmark::DoNotOptimize(everything.snapshot());
        else
            benchmark::DoNotOptimize(Json::fastCompact(built));
    }
}
BENCHMARK(snapshotOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
