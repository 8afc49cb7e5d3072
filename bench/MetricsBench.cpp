// Cost of the one-second heartbeat on this machine: one metrics sample between disk reads, and
// one whole store tick (sample, histories, timer checks).
#include "integrations/MetricsSampler.h"
#include "integrations/linux/LinuxMachineReadings.h"
#include "store/TarnStore.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void sampleBetweenDiskReads(benchmark::State& state) {
    MetricsSampler sampler(std::make_unique<LinuxMachineReadings>());
    sampler.sample(); // reads the disks; the next ten seconds repeat them
    for (auto _ : state)
        benchmark::DoNotOptimize(sampler.sample());
}
BENCHMARK(sampleBetweenDiskReads)->MinTime(2.0);

void heartbeatTick(benchmark::State& state) {
    QTemporaryDir folder;
    TarnStore::Environment environment;
    environment.directory = folder.path();
    environment.startTimer = false;
    environment.readings = std::make_unique<LinuxMachineReadings>();
    TarnStore store(std::move(environment));
    store.tick(QDateTime::currentDateTimeUtc());
    for (auto _ : state)
        store.tick(QDateTime::currentDateTimeUtc());
}
BENCHMARK(heartbeatTick)->MinTime(2.0);

} // namespace
