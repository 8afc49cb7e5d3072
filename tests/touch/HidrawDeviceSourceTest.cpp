// The touchscreen reader on Linux against fake sysfs and /dev trees: which nodes it takes, whole
// reports, grabs held and let go, devices coming and going, and hostile input. Then the service
// manager through a fake `systemctl` on PATH.
#include "support/EventLoop.h"
#include "support/FakeTouchscreen.h"
#include "touch/EdgeHIDReader.h"
#include "touch/HidReportDescriptor.h"
#include "touch/linux/SystemctlServiceControl.h"

#include <QRandomGenerator>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace {

struct Recorder : HidDeviceListener {
    QStringList events;
    QList<QByteArray> reports;

    void attached(const QString& device) override { events.append("+" + device); }
    void removed(const QString& device) override { events.append("-" + device); }
    void report(const QString&, QByteArrayView bytes) override {
        reports.append(bytes.toByteArray());
    }
    void failed(const QString& device, int status) override {
        events.append(QString("!%1 %2").arg(device).arg(status));
    }
};

// Report 7 of 99 data bytes, then a pushed and popped report 9 of 20 bytes, and a long item.
const QByteArray descriptor = QByteArray::fromHex("850775089563810285"
                                                  "09"
                                                  "a4"
                                                  "9514"
                                                  "8102"
                                                  "b4"
                                                  "fe0200aabb"
                                                  "c0");

TEST(HidReportDescriptor, TheLongestInputReportSizesTheBuffer) {
    EXPECT_EQ(HidReportDescriptor::largestInputReport(descriptor), 100);
    EXPECT_EQ(HidReportDescriptor::largestInputReport({}), 0);
    // Without report IDs there is no ID byte.
    EXPECT_EQ(HidReportDescriptor::largestInputReport(QByteArray::fromHex("750895408102")), 64);
    // Truncated items, huge counts and random bytes stay within bounds.
    EXPECT_EQ(HidReportDescriptor::largestInputReport(QByteArray::fromHex("750895")), 0);
    EXPECT_LE(HidReportDescriptor::largestInputReport(QByteArray::fromHex("77ffffffff97ffffffff"
                                                                          "8102810281028102")),
              (1 << 21) + 1);
    QRandomGenerator random(7);
    for (int i = 0; i < 2000; ++i) {
        QByteArray bytes(int(random.bounded(64)), 0);
        for (char& byte : bytes)
            byte = char(random.bounded(256));
        const int size = HidReportDescriptor::largestInputReport(bytes);
        EXPECT_GE(size, 0);
        EXPECT_LE(size, (1 << 21) + 1);
    }
}

TEST(HidrawDeviceSource, TakesOnlyTheTouchscreensInterfacesAndGrabsTheirInputs) {
    FakeTouchscreen tree;
    tree.add("hidraw0", {"event2"}, "0003:0000046D:0000C52B"); // a mouse
    tree.add("hidraw1", {"event5"});
    tree.add("hidraw2", {"event6", "event7"});
    tree.add("hidraw10", {});
    tree.add("hidraw11", {}, "0005:000027C0:00000859"); // the same numbers over Bluetooth
    auto source = tree.source();
    EXPECT_EQ(source->access(), HidDeviceSource::Access::granted);
    Recorder recorder;
    ASSERT_EQ(source->open(recorder), 0);
    EXPECT_EQ(recorder.events, QStringList({"+hidraw1", "+hidraw2", "+hidraw10"}));
    EXPECT_EQ(tree.nodes->grabbed,
              QSet<QString>({tree.dev("input/event5"), tree.dev("input/event6"),
                             tree.dev("input/event7")}));
    // Every node is opened so that no child process can inherit it (and keep a grab alive).
    for (auto it = tree.nodes->opened.begin(); it != tree.nodes->opened.end(); ++it) {
        if (it.value().contains("/input/")) {
            EXPECT_TRUE(fcntl(it.key(), F_GETFD) & FD_CLOEXEC) << it.value().toStdString();
        }
    }
    source->close();
    EXPECT_TRUE(tree.nodes->grabbed.isEmpty());

    tree.nodes->unreadable.insert(tree.dev("hidraw2"));
    EXPECT_EQ(source->access(), HidDeviceSource::Access::denied);
    FakeTouchscreen empty;
    EXPECT_EQ(empty.source()->access(), HidDeviceSource::Access::unknown);
}

TEST(HidrawDeviceSource, AFailedOpenLeavesNothingHeld) {
    FakeTouchscreen tree;
    tree.add("hidraw1", {"event5"});
    tree.add("hidraw2", {"event6"});
    tree.nodes->grabErrors.insert(tree.dev("input/event6"), EBUSY);
    EdgeHIDReader reader(tree.source());
    EXPECT_EQ(reader.start(), EBUSY);
    EXPECT_TRUE(tree.nodes->grabbed.isEmpty());
    EXPECT_EQ(tree.nodes->grabLog, QStringList({"+event5", "-event5"}));
    EXPECT_FALSE(reader.isOpen());

    tree.nodes->grabErrors.clear();
    tree.nodes->openErrors.insert(tree.dev("hidraw2"), EACCES);
    EXPECT_EQ(reader.start(), EACCES);
    EXPECT_TRUE(tree.nodes->grabbed.isEmpty());
    tree.nodes->openErrors.clear();
    {
        EdgeHIDReader open(tree.source());
        EXPECT_EQ(open.start(), 0);
        EXPECT_EQ(open.devices(), QStringList({"hidraw1", "hidraw2"}));
        EXPECT_EQ(tree.nodes->grabbed.size(), 2);
    }
    // A reader that ends lets go of everything.
    EXPECT_TRUE(tree.nodes->grabbed.isEmpty());
}

TEST(HidrawDeviceSource, ReportsArriveWholeAndBothInterfacesShareOneContact) {
    FakeTouchscreen tree;
    tree.add("hidraw1", {"event5"}, FakeTouchscreen::touchscreenID, descriptor);
    tree.add("hidraw2", {"event6"});
    auto owned = tree.source();
    HidrawDeviceSource* source = owned.get();
    Recorder recorder;
    ASSERT_EQ(source->open(recorder), 0);
    const QByteArray longest(100, 'a');
    for (const QByteArray& report :
         {FakeTouchscreen::report(true, 10, 20), longest, QByteArray("\x07\x01")})
        tree.send("hidraw1", report);
    tree.send("hidraw2", QByteArray(80, 'b')); // longer than a 64-byte buffer
    ASSERT_TRUE(tree.drain("hidraw1") && tree.drain("hidraw2"));
    ASSERT_EQ(recorder.reports.size(), 4);
    EXPECT_EQ(recorder.reports[0], FakeTouchscreen::report(true, 10, 20));
    EXPECT_EQ(recorder.reports[1], longest);
    EXPECT_EQ(recorder.reports[2], QByteArray("\x07\x01"));
    EXPECT_EQ(recorder.reports[3], QByteArray(64, 'b'));
    source->close();

    // Through the reader: a contact begun on one interface ends on the other.
    EdgeHIDReader reader(std::move(owned));
    QList<TouchSample> samples;
    QList<bool> connections;
    reader.onSample = [&](const TouchSample& sample) { samples.append(sample); };
    reader.onConnection = [&](bool connected) { connections.append(connected); };
    ASSERT_EQ(reader.start(), 0);
    EXPECT_EQ(connections, QList<bool>({true, true}));
    tree.send("hidraw1", FakeTouchscreen::report(true, 16383, 0));
    ASSERT_TRUE(tree.drain("hidraw1"));
    tree.send("hidraw2", FakeTouchscreen::report(false));
    ASSERT_TRUE(tree.drain("hidraw2"));
    ASSERT_EQ(samples.size(), 2);
    EXPECT_EQ(samples[1], (TouchSample{TouchSample::Phase::ended, QPointF(1, 0)}));

    // Reports of any length and content: nothing breaks, and a real tap still comes through.
    QRandomGenerator random(13);
    for (int i = 0; i < 3000; ++i) {
        QByteArray bytes(1 + int(random.bounded(300)), 0);
        for (char& byte : bytes)
            byte = char(random.bounded(256));
        tree.send("hidraw1", bytes);
        if (i % 20 == 0) {
            ASSERT_TRUE(tree.drain("hidraw1"));
        }
    }
    tree.send("hidraw1", FakeTouchscreen::report(false));
    ASSERT_TRUE(tree.drain("hidraw1"));
    samples.clear();
    tree.send("hidraw1", FakeTouchscreen::report(true, 100, 100));
    tree.send("hidraw1", FakeTouchscreen::report(false));
    ASSERT_TRUE(tree.drain("hidraw1"));
    ASSERT_EQ(samples.size(), 2);
    EXPECT_EQ(samples[0].phase, TouchSample::Phase::began);
    EXPECT_EQ(reader.devices().size(), 2);
}

TEST(HidrawDeviceSource, DevicesComeAndGoWhileItIsOpen) {
    FakeTouchscreen tree;
    Recorder recorder;
    auto source = tree.source();
    ASSERT_EQ(source->open(recorder), 0); // nothing plugged in yet: waiting
    EXPECT_TRUE(recorder.events.isEmpty());

    // Plugged in, with its permissions arriving a moment after the node.
    tree.nodes->openErrors.insert(tree.dev("hidraw3"), EACCES);
    tree.add("hidraw3", {"event8"});
    ASSERT_TRUE(waitUntil([&] { return !recorder.events.isEmpty(); }));
    EXPECT_EQ(recorder.events, QStringList({"!hidraw3 13"}));
    tree.nodes->openErrors.clear();
    ::chmod(QFile::encodeName(tree.dev("hidraw3")).constData(), 0660);
    ASSERT_TRUE(waitUntil([&] { return recorder.events.size() == 2; }));
    EXPECT_EQ(recorder.events.last(), "+hidraw3");
    EXPECT_TRUE(tree.nodes->grabbed.contains(tree.dev("input/event8")));

    // An input node that comes after the hidraw node is grabbed too.
    QDir().mkpath(tree.folder.filePath("sys/class/hidraw/hidraw3/device/input/input9/event9"));
    writeFile(tree.dev("input/event9"), {});
    ASSERT_TRUE(waitUntil([&] { return tree.nodes->grabbed.contains(tree.dev("input/event9")); }));

    // Unplugged: removed, and its grabs let go.
    tree.remove("hidraw3");
    ASSERT_TRUE(waitUntil([&] { return recorder.events.size() == 3; }));
    EXPECT_EQ(recorder.events.last(), "-hidraw3");
    EXPECT_TRUE(tree.nodes->grabbed.isEmpty());

    // A device that stops answering (end of file) or whose reads fail goes the same way.
    tree.add("hidraw4", {"event10"});
    ASSERT_TRUE(waitUntil([&] { return recorder.events.size() == 4; }));
    tree.hangUp("hidraw4");
    ASSERT_TRUE(waitUntil([&] { return recorder.events.size() == 5; }));
    EXPECT_EQ(recorder.events.last(), "-hidraw4");
    const int directory = ::open(QFile::encodeName(tree.folder.path()).constData(), O_RDONLY);
    tree.nodes->sockets.insert(tree.dev("hidraw5"), directory); // reads fail with EISDIR
    QDir().mkpath(tree.folder.filePath("sys/class/hidraw/hidraw5/device"));
    writeFile(tree.folder.filePath("sys/class/hidraw/hidraw5/device/uevent"),
              QByteArray("HID_ID=") + FakeTouchscreen::touchscreenID + "\n");
    writeFile(tree.dev("hidraw5"), {});
    ASSERT_TRUE(waitUntil([&] { return recorder.events.size() == 7; }))
            << recorder.events.join(" ").toStdString();
    EXPECT_EQ(recorder.events.mid(5), QStringList({"+hidraw5", "-hidraw5"}));
    source->close();
    EXPECT_TRUE(tree.nodes->grabbed.isEmpty());
}

// ---- The user's service manager

struct SystemctlTest : testing::Test {
    QTemporaryDir folder;
    QByteArray path = qgetenv("PATH");

    void SetUp() override {
        writeScript(folder.filePath("bin/systemctl"), "echo \"$@\" >> " +
                                                              folder.filePath("calls").toUtf8() +
                                                              "\n"
                                                              "case \"$2\" in\n"
                                                              "  is-active) exit 3 ;;\n"
                                                              "  stop) exit 0 ;;\n"
                                                              "  start) sleep 30 & echo $! > " +
                                                              folder.filePath("sleeper").toUtf8() +
                                                              "; wait ;;\n"
                                                              "esac");
        qputenv("PATH", folder.filePath("bin").toUtf8() + ":" + path);
    }
    void TearDown() override { qputenv("PATH", path); }

    // Gone, or a zombie nobody has reaped yet.
    static bool ended(pid_t pid) {
        QFile stat(QString("/proc/%1/stat").arg(pid));
        return ::kill(pid, 0) != 0 || !stat.open(QIODevice::ReadOnly) ||
               stat.readAll().contains(") Z ");
    }

    QByteArray read(const QString& name) const {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(SystemctlTest, AnswersWithTheExitStatusAndGivesUpOnACommandThatHangs) {
    SystemctlServiceControl services(std::chrono::milliseconds(400));
    QList<int> answers;
    const auto record = [&](int status) { answers.append(status); };
    services.run(ServiceControl::Command::isActive, "legacy.service", record);
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 1; }));
    services.run(ServiceControl::Command::stop, "legacy.service", record);
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2; }));
    EXPECT_EQ(answers, QList<int>({3, 0}));
    EXPECT_EQ(read("calls"), "--user is-active --quiet legacy.service\n"
                             "--user stop legacy.service\n");

    // A manager that never answers: the dashboard keeps going meanwhile, and the command ends
    // with everything it started.
    int ticks = 0;
    QTimer ticking;
    QObject::connect(&ticking, &QTimer::timeout, [&] { ++ticks; });
    ticking.start(20);
    services.run(ServiceControl::Command::start, "legacy.service", record);
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 3; }, 3000));
    // Ended at its limit, it may or may not have done its work: it says so.
    EXPECT_EQ(answers.last(), ServiceControl::timedOut);
    EXPECT_GE(ticks, 10);
    const pid_t sleeper = read("sleeper").trimmed().toInt();
    ASSERT_GT(sleeper, 0);
    EXPECT_TRUE(waitUntil([&] { return ended(sleeper); }, 2000));
}

TEST_F(SystemctlTest, AMissingManagerAnswersAndAtExitTheChainFinishesWithoutTheEventLoop) {
    SystemctlServiceControl services;
    QList<int> answers;
    services.run(ServiceControl::Command::isActive, "legacy.service", [&](int status) {
        answers.append(status);
        services.run(ServiceControl::Command::stop, "legacy.service",
                     [&](int stopped) { answers.append(stopped); });
    });
    services.waitForIdle(3000);
    EXPECT_EQ(answers, QList<int>({3, 0}));

    qputenv("PATH", folder.filePath("nowhere").toUtf8());
    services.run(ServiceControl::Command::isActive, "legacy.service",
                 [&](int status) { answers.append(status); });
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 3; }));
    EXPECT_EQ(answers.last(), ServiceControl::failedToRun);
}

} // namespace
