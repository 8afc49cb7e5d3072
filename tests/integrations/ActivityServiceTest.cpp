#include "integrations/ActivityService.h"

#include "integrations/linux/LinuxActivityReadings.h"
#include "support/EventLoop.h"
#include "support/FakeClock.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class FakeActivityReadings : public ActivityReadings {
public:
    std::optional<QList<Disk>> diskList = QList<Disk>();
    std::optional<QList<Interface>> interfaceList = QList<Interface>();
    std::optional<ProcessTable> table;
    std::optional<QList<Disk>> disks() override { return diskList; }
    std::optional<QList<Interface>> interfaces() override { return interfaceList; }
    std::optional<ProcessTable> processes() override { return table; }
};

// A /proc/[pid]/stat line, its times and sizes in the kernel's units.
QByteArray statLine(qint64 pid, const QByteArray& name, quint64 user, quint64 system, quint64 start,
                    qint64 pages) {
    return QByteArray::number(pid) + " (" + name + ") S 1 1 1 0 -1 4194560 100 0 0 0 " +
           QByteArray::number(user) + " " + QByteArray::number(system) + " 0 0 20 0 1 0 " +
           QByteArray::number(start) + " 12345678 " + QByteArray::number(pages) +
           " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0\n";
}

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

TEST_F(ActivityTest, ProcessSharesAreMeasuredBetweenTwoReadings) {
    using Process = ActivityReadings::Process;
    const auto entry = [&](int index) { return service->processes()[index].toObject(); };
    // First seen: each process's share since it started.
    readings->table = ActivityReadings::ProcessTable{100,
                                                     {Process{1, "init", 10, 0, 4096},
                                                      Process{42, "editor", 5, 90, 2e8},
                                                      Process{99, "short-lived", 0, 99, 0}}};
    service->refreshProcesses();
    EXPECT_TRUE(service->isListingProcesses());
    service->refreshProcesses(); // ignored while one runs
    ASSERT_TRUE(waitForChange());
    EXPECT_FALSE(service->isListingProcesses());
    ASSERT_EQ(service->processes().size(), 3);
    EXPECT_EQ(entry(0),
              (QJsonObject{{"pid", 42}, {"cpu", 50}, {"memory", 2e8}, {"name", "editor"}}));
    EXPECT_EQ(entry(1)["cpu"], 10);
    EXPECT_EQ(entry(2)["cpu"], 0);

    // Then since the previous reading; a pid taken by a new process counts from its start, and
    // one that ended is gone.
    readings->table = ActivityReadings::ProcessTable{105,
                                                     {Process{1, "init", 10.5, 0, 4096},
                                                      Process{42, "other", 0.2, 104, 1e6},
                                                      Process{7, "new", 1, 103, 0}}};
    service->refreshProcesses();
    ASSERT_TRUE(waitForChange());
    ASSERT_EQ(service->processes().size(), 3);
    EXPECT_EQ(entry(0)["name"], "new");
    EXPECT_EQ(entry(0)["cpu"], 50);
    EXPECT_EQ(entry(1)["name"], "other");
    EXPECT_EQ(entry(1)["cpu"], 20);
    EXPECT_EQ(entry(2)["cpu"], 10);
    EXPECT_FALSE(service->processError());

    // A failed reading keeps the last list.
    readings->table.reset();
    service->refreshProcesses();
    ASSERT_TRUE(waitForChange());
    EXPECT_EQ(service->processError(), ActivityService::processFailure());
    EXPECT_EQ(service->processes().size(), 3);
}

TEST_F(ActivityTest, LatencyProbe) {
    const QString ping =
            writeScript(folder.filePath("ping"),
                        "test \"$6\" = 1.1.1.1 || exit 9\n"
                        "echo '64 bytes from 1.1.1.1: icmp_seq=1 ttl=57 time=12.5 ms'");
    open({ping});
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

TEST(LinuxActivityReadings, ProcessesFromProc) {
    QTemporaryDir root;
    const QString proc = root.filePath("proc");
    const double hz = double(sysconf(_SC_CLK_TCK));
    const double page = double(sysconf(_SC_PAGESIZE));
    writeFile(proc + "/uptime", "1000.50 1900.25\n");
    writeFile(proc + "/1/stat", statLine(1, "systemd", 300, 200, 5, 3000));
    writeFile(proc + "/1/cmdline", QByteArray("/sbin/init\0splash\0", 18));
    writeFile(proc + "/42/stat", statLine(42, "a) (b c)", 10, 0, 7000, 10));
    // Command names the kernel cut at 15 bytes; the command line gives the rest when it agrees.
    writeFile(proc + "/77/stat", statLine(77, "averylongprogra", 0, 0, 1, 1));
    writeFile(proc + "/77/cmdline", QByteArray("/opt/x/averylongprogramname\0--flag\0", 36));
    writeFile(proc + "/78/stat", statLine(78, "python3 myscrip", 0, 0, 1, 1));
    writeFile(proc + "/78/cmdline", QByteArray("/usr/bin/python3\0myscript.py\0", 29));
    writeFile(proc + "/79/stat", statLine(79, "kworker/0:1-eve", 0, 0, 1, 0));
    writeFile(proc + "/90/stat", "90 (cut short) S 1 1 1 0");
    writeFile(proc + "/91/stat", "garbage");
    QDir().mkpath(proc + "/92"); // ended while the folder was listed
    writeFile(proc + "/self/stat", statLine(5, "self", 0, 0, 1, 1));
    writeFile(proc + "/diskstats", "");

    const auto table = LinuxActivityReadings(root.path()).processes();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->time, 1000.5);
    QMap<qint64, ActivityReadings::Process> byPid;
    for (const auto& process : table->processes)
        byPid.insert(process.pid, process);
    EXPECT_EQ(byPid.keys(), (QList<qint64>{1, 42, 77, 78, 79}));
    EXPECT_EQ(byPid[1].name, "systemd");
    EXPECT_DOUBLE_EQ(byPid[1].cpuSeconds, 500 / hz);
    EXPECT_DOUBLE_EQ(byPid[1].startedAt, 5 / hz);
    EXPECT_DOUBLE_EQ(byPid[1].residentBytes, 3000 * page);
    EXPECT_EQ(byPid[42].name, "a) (b c)");
    EXPECT_DOUBLE_EQ(byPid[42].startedAt, 7000 / hz);
    EXPECT_EQ(byPid[77].name, "averylongprogramname");
    EXPECT_EQ(byPid[78].name, "python3 myscrip");
    EXPECT_EQ(byPid[79].name, "kworker/0:1-eve");

    for (const QByteArray& bad :
         {QByteArray(""), QByteArray("12"), QByteArray("(x) S"),
          QByteArray("x (y) S 1 1 1 0 -1 0 0 0 0 0 1 1 0 0 0 0 1 0 1 1 1"),
          QByteArray("-3 (y) S 1 1 1 0 -1 0 0 0 0 0 1 1 0 0 0 0 1 0 1 1 1"),
          QByteArray("3 (y) S 1 1 1 0 -1 0 0 0 0 0 -1 1 0 0 0 0 1 0 1 1 1")})
        EXPECT_FALSE(LinuxActivityReadings::parseProcessStat(bad)) << bad.toStdString();
    EXPECT_TRUE(LinuxActivityReadings::parseProcessStat(
            "3 (y) S 1 1 1 0 -1 0 0 0 0 0 1 1 0 0 0 0 1 0 1 1 1"));
    EXPECT_FALSE(LinuxActivityReadings(root.filePath("missing")).processes());

    // This very program, in the real table.
    const auto real = LinuxActivityReadings().processes();
    ASSERT_TRUE(real);
    const auto self = std::find_if(real->processes.begin(), real->processes.end(),
                                   [](const auto& process) { return process.pid == getpid(); });
    ASSERT_NE(self, real->processes.end());
    EXPECT_EQ(self->name, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    EXPECT_GT(self->residentBytes, 1e6);
    EXPECT_LE(self->startedAt, real->time);
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
