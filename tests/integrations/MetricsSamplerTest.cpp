#include "integrations/MetricsSampler.h"

#include "support/ScriptedReadings.h"

#include <gtest/gtest.h>

namespace {

struct SamplerTest : testing::Test {
    ScriptedReadings* readings = new ScriptedReadings;
    MetricsSampler sampler{std::unique_ptr<MachineReadings>(readings)};

    SamplerTest() {
        readings->physical = 16e9;
        readings->now = 100;
    }
};

MachineReadings::Volume volume(const QString& path, std::optional<QString> uuid,
                               std::optional<QString> name, std::optional<double> total = 100,
                               std::optional<double> available = 40) {
    return {path, uuid, name, total, available, true};
}

QStringList names(const QList<DiskSnapshot>& disks) {
    QStringList list;
    for (const auto& disk : disks)
        list.append(disk.name);
    return list;
}

} // namespace

TEST_F(SamplerTest, FirstSampleHasNoRatesButReadsTheDisks) {
    readings->cpuReading = CPUReading{100, 100, 100, 0};
    readings->counters = MachineReadings::NetworkCounters{1000, 500};
    readings->volumeList = {volume("/", "U1", "root")};
    const MachineSnapshot first = sampler.sample();
    EXPECT_FALSE(first.cpu);
    EXPECT_FALSE(first.download);
    EXPECT_FALSE(first.upload);
    EXPECT_EQ(first.disks.size(), 1);
    EXPECT_EQ(first.diskName, "root");
    EXPECT_EQ(first.diskTotal, 100);
    EXPECT_EQ(first.diskFree, 40);
    EXPECT_EQ(first.memoryTotal, 16e9);
    EXPECT_EQ(first.uptime, 100);
}

TEST_F(SamplerTest, CpuFromTheCounterDifference) {
    readings->cpuReading = CPUReading{100, 100, 100, 0};
    sampler.sample();
    readings->cpuReading = CPUReading{110, 110, 180, 0};
    EXPECT_DOUBLE_EQ(*sampler.sample().cpu, 20.0);
    EXPECT_FALSE(sampler.sample().cpu); // nothing moved
    // A failed reading keeps the previous one: the next success measures the longer interval.
    readings->cpuReading.reset();
    EXPECT_FALSE(sampler.sample().cpu);
    readings->cpuReading = CPUReading{130, 130, 220, 0};
    EXPECT_DOUBLE_EQ(*sampler.sample().cpu, 50.0);
    readings->cpuReading = CPUReading{140, 140, 210, 0}; // idle went backwards
    EXPECT_FALSE(sampler.sample().cpu);
}

TEST_F(SamplerTest, MemorySwapAndGpu) {
    readings->memoryReading = MachineReadings::MemoryUsage{4e9, 1e9, 0.5e9};
    readings->swap = 2e8;
    readings->gpuReading = MachineReadings::Gpu{QString("amdgpu"), QVariant(42)};
    MachineSnapshot snapshot = sampler.sample();
    EXPECT_EQ(snapshot.memoryActive, 4e9);
    EXPECT_EQ(snapshot.memoryWired, 1e9);
    EXPECT_EQ(snapshot.memoryCompressed, 0.5e9);
    EXPECT_EQ(snapshot.memoryUsed, 5.5e9);
    EXPECT_EQ(snapshot.swapUsed, 2e8);
    EXPECT_EQ(snapshot.gpu, 42);
    EXPECT_EQ(snapshot.gpuName, "amdgpu");

    readings->memoryReading.reset();
    readings->gpuReading.reset();
    snapshot = sampler.sample();
    EXPECT_FALSE(snapshot.memoryUsed || snapshot.memoryActive || snapshot.gpu || snapshot.gpuName);
}

TEST(GpuUtilization, OnlyFiniteNumbersFromZeroToHundred) {
    EXPECT_EQ(MetricsSampler::gpuUtilization(QVariant(42)), 42);
    EXPECT_EQ(MetricsSampler::gpuUtilization(QVariant(0.0)), 0);
    EXPECT_EQ(MetricsSampler::gpuUtilization(QVariant(100ULL)), 100);
    EXPECT_FALSE(MetricsSampler::gpuUtilization(QVariant(101)));
    EXPECT_FALSE(MetricsSampler::gpuUtilization(QVariant(-1)));
    EXPECT_FALSE(MetricsSampler::gpuUtilization(QVariant(qQNaN())));
    EXPECT_FALSE(MetricsSampler::gpuUtilization(QVariant(QString("42"))));
    EXPECT_FALSE(MetricsSampler::gpuUtilization(QVariant()));
}

TEST_F(SamplerTest, DisksAreReadEveryTenSecondsOfUptime) {
    readings->volumeList = {volume("/", "U1", "root")};
    sampler.sample();
    readings->volumeList = {volume("/", "U1", "renamed")};
    readings->now = 109.9;
    EXPECT_EQ(sampler.sample().diskName, "root");
    EXPECT_EQ(readings->volumeReads, 1);
    readings->now = 110.0;
    EXPECT_EQ(sampler.sample().diskName, "renamed");
    EXPECT_EQ(readings->volumeReads, 2);
}

TEST(DiskList, StartupFirstThenByNameOncePerVolume) {
    const QList<MachineReadings::Volume> volumes = {
            volume("/media/zed", "U3", "zed"),
            volume("/media/Backup", "U2", "Backup"),
            volume("/", "U1", "system"),
            volume("/home", "U1", "home"), // the same file system as "/"
            volume("/media/alpha", std::nullopt, std::nullopt),
            {"/mnt/net", std::nullopt, std::nullopt, 10, 5, false},
    };
    const QList<DiskSnapshot> disks = MetricsSampler::disksFrom(volumes, "/");
    EXPECT_EQ(names(disks), QStringList({"system", "Backup", "alpha", "zed"}));
    EXPECT_TRUE(disks[0].startup);
    EXPECT_FALSE(disks[1].startup);
    EXPECT_EQ(disks[0].id, "U1");
    EXPECT_EQ(disks[2].id, "/media/alpha");
}

TEST(DiskList, CapacitiesOnlyWhenTheyMakeSense) {
    const QList<DiskSnapshot> disks = MetricsSampler::disksFrom(
            {volume("/a", "A", "a", 0, 0), volume("/b", "B", "b", 100, 120),
             volume("/c", "C", "c", 100, std::nullopt), volume("/d", "D", "d", 100, 100)},
            "/");
    ASSERT_EQ(disks.size(), 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(disks[i].total) << disks[i].name.toStdString();
        EXPECT_FALSE(disks[i].free);
    }
    EXPECT_EQ(disks[3].total, 100);
    EXPECT_EQ(disks[3].free, 100);
}

TEST_F(SamplerTest, NetworkRatesAndCounterDrops) {
    readings->counters = MachineReadings::NetworkCounters{1000, 500};
    sampler.sample();
    readings->now = 102;
    readings->counters = MachineReadings::NetworkCounters{5000, 1500};
    MachineSnapshot snapshot = sampler.sample();
    EXPECT_EQ(snapshot.download, 2000);
    EXPECT_EQ(snapshot.upload, 500);

    // A counter that goes down gives no rate for that sample, then measures again.
    readings->now = 103;
    readings->counters = MachineReadings::NetworkCounters{100, 1600};
    snapshot = sampler.sample();
    EXPECT_FALSE(snapshot.download);
    EXPECT_FALSE(snapshot.upload);
    readings->now = 104;
    readings->counters = MachineReadings::NetworkCounters{1100, 1700};
    EXPECT_EQ(sampler.sample().download, 1000);

    // No time passed: no rate.
    EXPECT_FALSE(sampler.sample().download);
}
