#include "integrations/ActivityService.h"

#include "integrations/linux/LinuxActivityReadings.h"
#include "support/EventLoop.h"
#include "support/FakeClock.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class FakeActivityReadings : public ActivityReadings {
public:
    std::optional<QList<Disk>> diskList = QList<Disk>();
    std::optional<QList<Interface>> interfaceList = QList<Interface>();
    std::optional<QList<Disk>> disks() override { return diskList; }
    std::optional<QList<Interface>> interfaces() override { return interfaceList; }
};

struct ActivityTest : testing::Test {
    QTemporaryDir folder;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    FakeActivityReadings* readings = nullptr; // owned by the service
    std::unique_ptr<ActivityService> service;

    void SetUp() override { open({}); }

    void open(ActivityService::Programs programs) {
        readings = new FakeActivityReadings;
        service = std::make_unique<ActivityService>(std::unique_ptr<ActivityReadings>(readings),
                                                    clock, programs);
    }

    void tick(double seconds = 1) {
        clock->advance(seconds);
        service->sample();
    }

    QJsonObject disk(int index = 0) const { return service->disks()[index].toObject(); }
    QJsonObject interface(int index = 0) const { return service->interfaces()[index].toObject(); }

    bool waitForChange() {
        QSignalSpy changed(service.get(), &ActivityService::changed);
        return changed.wait(10000);
    }
};

} // namespace

TEST_F(ActivityTest, DiskRatesAndHistories) {
    readings->diskList =
            QList<ActivityReadings::Disk>{{"2049", "sdb", 0, 0}, {"2048", "sda", 0, 0}};
    tick();
    EXPECT_EQ(service->disks().size(), 2);
    EXPECT_EQ(disk(0)["name"], "sda"); // by name
    EXPECT_TRUE(disk(0)["read"].isNull());
    EXPECT_TRUE(disk(0)["readHistory"].toArray().isEmpty());
    EXPECT_EQ(disk(0).keys(),
              QStringList({"id", "name", "read", "readHistory", "write", "writeHistory"}));

    for (int i = 1; i <= 91; ++i) {
        readings->diskList =
                QList<ActivityReadings::Disk>{{"2048", "sda", quint64(i) * 4096, quint64(i) * 512}};
        tick(2);
    }
    EXPECT_EQ(disk()["read"], 2048);
    EXPECT_EQ(disk()["write"], 256);
    EXPECT_EQ(disk()["readHistory"].toArray().size(), 90);

    // A counter that goes down gives one sample without rates; the history stays.
    readings->diskList = QList<ActivityReadings::Disk>{{"2048", "sda", 0, 0}};
    tick();
    EXPECT_TRUE(disk()["read"].isNull());
    EXPECT_EQ(disk()["readHistory"].toArray().size(), 90);

    // Gone and back: it starts over.
    readings->diskList = QList<ActivityReadings::Disk>();
    tick();
    EXPECT_TRUE(service->disks().isEmpty());
    readings->diskList = QList<ActivityReadings::Disk>{{"2048", "sda", 100, 100}};
    tick();
    EXPECT_TRUE(disk()["read"].isNull());
    EXPECT_TRUE(disk()["readHistory"].toArray().isEmpty());
    EXPECT_EQ(service->disks().size(), 1);
}

TEST_F(ActivityTest, InterfaceRates) {
    readings->interfaceList =
            QList<ActivityReadings::Interface>{{"wlp2s0", true, 1000, 500, QString("192.168.1.20")},
                                               {"eth0", false, 0, 0, std::nullopt},
                                               {"tun0", true, 0, 0, QString("10.8.0.2")}};
    tick();
    ASSERT_EQ(service->interfaces().size(), 3);
    EXPECT_EQ(interface(0)["id"], "eth0");
    EXPECT_EQ(interface(0)["address"], "No IPv4 address");
    EXPECT_EQ(interface(0)["up"], false);
    EXPECT_TRUE(interface(2)["download"].isNull());

    readings->interfaceList = QList<ActivityReadings::Interface>{
            {"wlp2s0", true, 5000, 1500, QString("192.168.1.20")}};
    tick(2);
    EXPECT_EQ(interface()["download"], 2000);
    EXPECT_EQ(interface()["upload"], 500);
    EXPECT_EQ(interface()["address"], "192.168.1.20");

    // The list cannot be read: the last one stays.
    readings->interfaceList.reset();
    tick();
    EXPECT_EQ(service->interfaces().size(), 1);
    // No time passed since the last sample: no rate.
    readings->interfaceList =
            QList<ActivityReadings::Interface>{{"wlp2s0", true, 6000, 1500, std::nullopt}};
    tick();
    EXPECT_FALSE(interface()["download"].isNull());
    service->sample();
    EXPECT_TRUE(interface()["download"].isNull());
}

TEST(ParseProcesses, FieldsAndOrder) {
    const QJsonArray processes =
            ActivityService::parseProcesses("    1  0.0  8656 /sbin/init\n"
                                            "  812 12.5 204800 /opt/My App/bin/My App\n"
                                            "  900  abc  100 broken\n"
                                            "  901  1.0  nan notanumber\n"
                                            "  x    1.0  100 badpid\n"
                                            "  950  3.2\n"
                                            "\n"
                                            " 1000 99.9 1024 kworker/0:1-events\n");
    ASSERT_EQ(processes.size(), 3);
    EXPECT_EQ(processes[0].toObject(), (QJsonObject{{"pid", 1000},
                                                    {"cpu", 99.9},
                                                    {"memory", 1024 * 1024},
                                                    {"name", "kworker/0:1-events"}}));
    EXPECT_EQ(processes[1].toObject()["name"], "My App");
    EXPECT_EQ(processes[1].toObject()["memory"], 204800.0 * 1024);
    EXPECT_EQ(processes[2].toObject()["pid"], 1);
}

TEST_F(ActivityTest, ProcessListThroughTheRunner) {
    open({writeScript(folder.filePath("ps"),
                      "echo '  42  7.5  2048 /usr/bin/editor'\necho '  7  1.0  10 sh'"),
          {}});
    service->refreshProcesses();
    EXPECT_TRUE(service->isListingProcesses());
    service->refreshProcesses(); // ignored while one runs
    ASSERT_TRUE(waitForChange());
    EXPECT_FALSE(service->isListingProcesses());
    ASSERT_EQ(service->processes().size(), 2);
    EXPECT_EQ(service->processes()[0].toObject()["name"], "editor");
    EXPECT_FALSE(service->processError());

    // A failing lister keeps the last list.
    QFile::remove(folder.filePath("ps"));
    writeScript(folder.filePath("ps"), "exit 3");
    service->refreshProcesses();
    ASSERT_TRUE(waitForChange());
    EXPECT_EQ(service->processError(), "The operation failed or timed out");
    EXPECT_EQ(service->processes().size(), 2);
}

TEST_F(ActivityTest, LatencyProbe) {
    const QString ping =
            writeScript(folder.filePath("ping"),
                        "test \"$6\" = 1.1.1.1 || exit 9\n"
                        "echo '64 bytes from 1.1.1.1: icmp_seq=1 ttl=57 time=12.5 ms'");
    open({{}, ping});
    service->ping(); // off: nothing happens
    EXPECT_FALSE(service->isPinging());
    service->toggleLatency();
    service->ping();
    ASSERT_TRUE(waitForChange());
    EXPECT_EQ(service->latency(), 12.5);
    EXPECT_EQ(service->latencyMessage(), "Round trip to 1.1.1.1");

    QFile::remove(ping);
    writeScript(folder.filePath("ping"), "echo 'PING 1.1.1.1 (1.1.1.1) 56(84) bytes of data.'");
    service->ping();
    ASSERT_TRUE(waitForChange());
    EXPECT_FALSE(service->latency());
    EXPECT_EQ(service->latencyMessage(), "No response");

    QFile::remove(ping);
    writeScript(folder.filePath("ping"), "exit 1");
    service->ping();
    ASSERT_TRUE(waitForChange());
    EXPECT_EQ(service->latencyMessage(), QString::fromUtf8("No reply · ICMP may be blocked"));

    service->toggleLatency();
    EXPECT_FALSE(service->latencyEnabled());
    EXPECT_EQ(service->latencyMessage(), "Latency probe is off");
}

TEST(LinuxActivityReadings, WholeDisksFromDiskstats) {
    QTemporaryDir root;
    QDir().mkpath(root.filePath("proc"));
    QFile stats(root.filePath("proc/diskstats"));
    stats.open(QIODevice::WriteOnly);
    stats.write("   7       0 loop0 10 0 80 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
                "   8       0 sda 100 5 2000 30 50 2 4000 10 0 0 0 0 0 0 0 0 0\n"
                "   8       1 sda1 90 5 1800 30 50 2 4000 10 0 0 0 0 0 0 0 0 0\n"
                " 259       0 nvme0n1 1 0 8 0 1 0 16 0 0 0 0\n"
                "garbage\n");
    stats.close();
    for (const char* disk : {"sda", "nvme0n1"})
        QDir().mkpath(root.filePath(QString("sys/block/%1/device").arg(disk)));
    QDir().mkpath(root.filePath("sys/block/loop0"));
    LinuxActivityReadings readings(root.path());
    const auto disks = readings.disks();
    ASSERT_TRUE(disks);
    ASSERT_EQ(disks->size(), 2);
    EXPECT_EQ((*disks)[0].name, "sda");
    EXPECT_EQ((*disks)[0].id, "2048");
    EXPECT_EQ((*disks)[0].read, 2000u * 512);
    EXPECT_EQ((*disks)[0].written, 4000u * 512);
    EXPECT_EQ((*disks)[1].name, "nvme0n1");

    EXPECT_FALSE(LinuxActivityReadings(root.filePath("missing")).disks());
}

TEST(LinuxActivityReadings, InterfacesOfThisMachine) {
    const auto interfaces = LinuxActivityReadings().interfaces();
    ASSERT_TRUE(interfaces);
    for (const auto& interface : *interfaces) {
        EXPECT_NE(interface.name, "lo");
        EXPECT_TRUE(LinuxActivityReadings::isListedInterfaceName(interface.name));
    }
    EXPECT_TRUE(LinuxActivityReadings::isListedInterfaceName("tun0"));
    EXPECT_TRUE(LinuxActivityReadings::isListedInterfaceName("wg0"));
    EXPECT_FALSE(LinuxActivityReadings::isListedInterfaceName("lo"));
    EXPECT_FALSE(LinuxActivityReadings::isListedInterfaceName("docker0"));
}
