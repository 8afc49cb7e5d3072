#include "integrations/linux/LinuxMachineReadings.h"

#include "integrations/MetricsSampler.h"
#include "support/FakeClock.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A fake root with the /proc and /sys files the readings use.
struct FixtureRoot {
    QTemporaryDir dir;

    void write(const QString& relative, const QByteArray& contents) {
        writeFile(dir.filePath(relative), contents);
    }
    void link(const QString& relative, const QString& target) {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(QFile::link(target, path));
    }
    void interface(const QString& name, const char* flags, const char* rx, const char* tx) {
        write("sys/class/net/" + name + "/flags", flags);
        write("sys/class/net/" + name + "/statistics/rx_bytes", rx);
        write("sys/class/net/" + name + "/statistics/tx_bytes", tx);
    }
};

const QByteArray mountinfo = "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
                             "27 1 254:0 / / rw,relatime - ext4 /dev/sda2 rw\n"
                             "28 27 254:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
                             "29 27 254:0 /home /home rw,relatime shared:5 - ext4 /dev/sda2 rw\n"
                             "30 27 0:40 / /run/user/1000 rw - tmpfs tmpfs rw\n"
                             "31 27 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
                             "32 27 8:17 / /media/me/My\\040Disk rw - exfat /dev/sdb1 rw\n"
                             // damaged: no mount point
                             "33 27 8:18 /  rw - ext4 /dev/sdb1 rw\n"
                             "33 27 0:50 / /mnt/nas rw - nfs4 nas:/export rw\n"
                             "malformed line\n";

} // namespace

TEST(LinuxMachineReadings, ProcFiles) {
    FixtureRoot root;
    root.write("proc/stat", "cpu  100 5 30 800 20 3 2 1 0 0\ncpu0 50 2 15 400 10 1 1 0 0 0\n");
    root.write("proc/meminfo", "MemTotal:       16000000 kB\n"
                               "Active:          4000000 kB\n"
                               "Unevictable:       12000 kB\n"
                               "SwapTotal:       2000000 kB\n"
                               "SwapFree:        1500000 kB\n"
                               "Zswap:              3000 kB\n");
    const auto clock = std::make_shared<FakeClock>();
    LinuxMachineReadings readings(root.dir.path(), LinuxMachineReadings::statvfsCapacity, clock);

    const auto cpu = readings.cpu();
    ASSERT_TRUE(cpu);
    // iowait counts as idle; irq, softirq and steal as system.
    EXPECT_EQ(*cpu, (CPUReading{100, 36, 820, 5}));
    const MachineReadings::Memory memory = readings.memory();
    ASSERT_TRUE(memory.usage);
    EXPECT_EQ(memory.usage->active, 4000000.0 * 1024);
    EXPECT_EQ(memory.usage->wired, 12000.0 * 1024);
    EXPECT_EQ(memory.usage->compressed, 3000.0 * 1024);
    EXPECT_EQ(memory.swapUsed, 500000.0 * 1024);
    EXPECT_EQ(memory.physical, 16000000.0 * 1024);
    EXPECT_EQ(readings.uptime(), clock->uptime());
}

TEST(LinuxMachineReadings, MissingOrBrokenFilesGiveNoReading) {
    FixtureRoot root;
    LinuxMachineReadings empty(root.dir.path());
    EXPECT_FALSE(empty.cpu());
    EXPECT_FALSE(empty.memory().usage);
    EXPECT_FALSE(empty.memory().swapUsed);
    EXPECT_GT(empty.memory().physical, 0); // from the running system instead
    EXPECT_FALSE(empty.gpu());
    EXPECT_FALSE(empty.network());
    EXPECT_TRUE(empty.volumes().isEmpty());
    EXPECT_GT(empty.uptime(), 0);

    root.write("proc/stat", "cpu  1 2 x 4\n");
    root.write("proc/meminfo", "garbage\n\n:\nMemTotal: lots\n");
    EXPECT_FALSE(empty.cpu());
    EXPECT_FALSE(empty.memory().usage);
    root.write("proc/stat", "cpu  1 2 3\n");
    EXPECT_FALSE(empty.cpu());
    // Older kernels stop after idle.
    root.write("proc/stat", "cpu  1 2 3 4\n");
    EXPECT_EQ(empty.cpu(), (CPUReading{1, 3, 4, 2}));

    // Sampling a machine without readable files never fails.
    MetricsSampler sampler(std::make_unique<LinuxMachineReadings>(root.dir.path() + "/nothing"));
    const MachineSnapshot snapshot = sampler.sample();
    EXPECT_FALSE(snapshot.cpu || snapshot.memoryUsed || snapshot.diskName || snapshot.download);
}

TEST(LinuxMachineReadings, VolumesFromMountInfo) {
    FixtureRoot root;
    root.write("proc/self/mountinfo", mountinfo);
    root.write("dev/sda1", "");
    root.write("dev/sda2", "");
    root.write("dev/sdb1", "");
    root.link("dev/disk/by-uuid/1111-ROOT", "../../sda2");
    root.link("dev/disk/by-uuid/2222-USB", "../../sdb1");
    root.link("dev/disk/by-label/Photos\\x20Backup", "../../sdb1");
    QStringList asked;
    LinuxMachineReadings readings(root.dir.path(), [&](const QString& mountPoint) {
        asked.append(mountPoint);
        return std::optional(LinuxMachineReadings::Capacity{1000, 250});
    });

    const QList<MachineReadings::Volume> volumes = readings.volumes();
    QStringList paths;
    for (const auto& volume : volumes)
        paths.append(volume.path);
    // Pseudo file systems, loop images, network shares and boot partitions are not volumes.
    EXPECT_EQ(paths, QStringList({"/", "/home", "/media/me/My Disk"}));
    EXPECT_EQ(asked, paths);
    EXPECT_EQ(volumes[0].uuid, "1111-ROOT");
    EXPECT_FALSE(volumes[0].name);
    EXPECT_EQ(volumes[2].uuid, "2222-USB");
    EXPECT_EQ(volumes[2].name, "Photos Backup");
    EXPECT_EQ(volumes[2].totalCapacity, 1000);
    EXPECT_EQ(volumes[2].availableCapacity, 250);

    // A root on ZFS or overlay is still the startup volume.
    FixtureRoot container;
    container.write("proc/self/mountinfo", "40 1 0:33 / / rw - overlay overlay rw\n");
    const auto overlay = LinuxMachineReadings(container.dir.path(), [](const QString&) {
                             return std::optional(LinuxMachineReadings::Capacity{1, 1});
                         }).volumes();
    ASSERT_EQ(overlay.size(), 1);
    EXPECT_EQ(overlay[0].path, "/");

    // "/home" shares the root file system and is listed once.
    const QList<DiskSnapshot> disks = MetricsSampler::disksFrom(volumes, "/");
    ASSERT_EQ(disks.size(), 2);
    EXPECT_EQ(disks[0].name, "/");
    EXPECT_TRUE(disks[0].startup);
    EXPECT_EQ(disks[1].name, "Photos Backup");
}

TEST(LinuxMachineReadings, PhysicalInterfacesThatAreUp) {
    FixtureRoot root;
    root.interface("eth0", "0x1003", "1000", "100");
    root.interface("wlp2s0", "0x1003\n", "20000000000", "200");
    root.interface("enp3s0", "0x1002", "7", "7");      // down
    root.interface("lo", "0x9", "55555", "55555");     // loopback
    root.interface("docker0", "0x1003", "999", "999"); // virtual
    root.interface("eno1", "0x1003", "broken", "1");   // unreadable counter
    LinuxMachineReadings readings(root.dir.path());
    const auto counters = readings.network();
    ASSERT_TRUE(counters);
    EXPECT_EQ(counters->received, 20000001000ULL);
    EXPECT_EQ(counters->sent, 300ULL);

    EXPECT_TRUE(LinuxMachineReadings::isPhysicalInterfaceName("enx00e04c680001"));
    EXPECT_TRUE(LinuxMachineReadings::isPhysicalInterfaceName("wwan0"));
    EXPECT_FALSE(LinuxMachineReadings::isPhysicalInterfaceName("veth12ab"));
    EXPECT_FALSE(LinuxMachineReadings::isPhysicalInterfaceName("tun0"));
}

TEST(LinuxMachineReadings, GpuLoadAndName) {
    FixtureRoot root;
    root.write("sys/class/drm/card0/device/uevent", "DRIVER=i915\nPCI_ID=8086:46A6\n");
    root.write("sys/class/drm/card0-HDMI-A-1/status", "connected");
    root.write("sys/class/drm/card1/device/gpu_busy_percent", "37\n");
    root.write("sys/class/drm/card1/device/product_name", "Radeon RX 7600\n");
    LinuxMachineReadings readings(root.dir.path());
    const auto gpu = readings.gpu();
    ASSERT_TRUE(gpu);
    EXPECT_EQ(gpu->name, "Radeon RX 7600");
    EXPECT_EQ(MetricsSampler::gpuUtilization(gpu->utilization), 37);

    FixtureRoot intel;
    intel.write("sys/class/drm/card0/device/uevent", "DRIVER=i915\n");
    const auto named = LinuxMachineReadings(intel.dir.path()).gpu();
    ASSERT_TRUE(named);
    EXPECT_EQ(named->name, "i915");
    EXPECT_FALSE(MetricsSampler::gpuUtilization(named->utilization));
}

TEST(LinuxMachineReadings, MountFieldEscapes) {
    EXPECT_EQ(LinuxMachineReadings::unescapeMountField("/a\\040b\\134c"), "/a b\\c");
    EXPECT_EQ(LinuxMachineReadings::unescapeMountField("/end\\04"), "/end\\04");
    EXPECT_EQ(LinuxMachineReadings::unescapeMountField("/x\\999"), "/x\\999");
}

TEST(LinuxMachineReadings, ThisMachineInSensibleUnits) {
    MetricsSampler sampler(std::make_unique<LinuxMachineReadings>());
    sampler.sample();
    const MachineSnapshot snapshot = sampler.sample();
    EXPECT_GT(snapshot.memoryTotal, 64e6);
    EXPECT_GT(snapshot.uptime, 0);
    if (snapshot.cpu) {
        EXPECT_GE(*snapshot.cpu, 0);
        EXPECT_LE(*snapshot.cpu, 100);
    }
    ASSERT_TRUE(snapshot.memoryUsed);
    EXPECT_GT(*snapshot.memoryUsed, 0);
    EXPECT_LT(*snapshot.memoryUsed, snapshot.memoryTotal);
    // The root file system is always the startup disk, whatever carries it.
    ASSERT_FALSE(snapshot.disks.isEmpty());
    EXPECT_TRUE(snapshot.disks[0].startup);
    ASSERT_TRUE(snapshot.diskTotal && snapshot.diskFree);
    EXPECT_GT(*snapshot.diskTotal, 1e8); // bytes, not blocks
    EXPECT_LE(*snapshot.diskFree, *snapshot.diskTotal);
    if (snapshot.download) {
        EXPECT_GE(*snapshot.download, 0);
    }
}
