// The Linux session around the dashboard: the autostart entry, the application's log and the
// monitors' identities from a fake tree of the kernel's DRM connectors.
#include "desktop/ApplicationLog.h"
#include "desktop/linux/Autostart.h"
#include "desktop/linux/DesktopEntry.h"
#include "desktop/linux/DrmConnectors.h"
#include "support/EventLoop.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// ---- Start at login

TEST(Autostart, TurningOnWritesAnEntryThatStartsThisVeryProgram) {
    QTemporaryDir folder;
    // Every character the Exec key reserves, and a field code sign.
    const QString program = folder.filePath("My Apps/$HOME \"tablora\" 100%/tablo\\ra");
    Autostart autostart(folder.filePath("config/autostart"), program);
    int changes = 0;
    QObject::connect(&autostart, &StartAtLogin::enabledChanged, [&] { ++changes; });
    EXPECT_FALSE(autostart.isEnabled());

    EXPECT_EQ(autostart.setEnabled(true), "");
    EXPECT_TRUE(autostart.isEnabled());
    EXPECT_EQ(autostart.entryPath(), folder.filePath("config/autostart/tablora.desktop"));
    const auto entry = DesktopEntry::read(autostart.entryPath());
    ASSERT_TRUE(entry.has_value());
    EXPECT_TRUE(entry->isApplication());
    EXPECT_EQ(entry->arguments(), QStringList{program});
    // Once the program is uninstalled, the desktop skips the entry left behind.
    QFile written(autostart.entryPath());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains(
            "\nTryExec=" + QString(program).replace("\\", "\\\\").toUtf8() + "\n"));
    EXPECT_EQ(autostart.setEnabled(true), ""); // again: no change
    EXPECT_EQ(changes, 1);

    EXPECT_EQ(autostart.setEnabled(false), "");
    EXPECT_FALSE(QFileInfo::exists(autostart.entryPath()));
    EXPECT_EQ(autostart.setEnabled(false), "");
    EXPECT_EQ(changes, 2);

    // The desktop's own way of switching an entry off counts as off.
    writeFile(autostart.entryPath(), "[Desktop Entry]\nExec=tablora\nHidden=true\n");
    EXPECT_FALSE(autostart.isEnabled());
    writeFile(autostart.entryPath(), "[Desktop Entry]\nExec=tablora\nX-GNOME-Autostart-enabled = "
                                     "false\n");
    EXPECT_FALSE(autostart.isEnabled());
}

TEST(Autostart, TheRunningDashboardFollowsTheEntryWhoeverChangesIt) {
    QTemporaryDir folder;
    // Not there yet: the first entry creates the folders.
    const QString place = folder.filePath("config/autostart");
    Autostart dashboard(place, "/usr/bin/tablora");
    dashboard.follow();
    QList<bool> announced;
    QObject::connect(&dashboard, &StartAtLogin::enabledChanged,
                     [&](bool on) { announced.append(on); });
    // Another start's --autostart.
    Autostart command(place, "/usr/bin/tablora");
    EXPECT_EQ(command.setEnabled(true), "");
    EXPECT_TRUE(waitUntil([&] { return announced == QList<bool>{true}; }));
    EXPECT_TRUE(dashboard.isEnabled());
    // The desktop's settings, editing the entry in place.
    writeFile(command.entryPath(), "[Desktop Entry]\nExec=tablora\nHidden=true\n");
    EXPECT_TRUE(waitUntil([&] { return announced == QList<bool>{true, false}; }));
    EXPECT_EQ(command.setEnabled(true), "");
    EXPECT_TRUE(waitUntil([&] { return announced == QList<bool>{true, false, true}; }));
    EXPECT_EQ(command.setEnabled(false), "");
    EXPECT_TRUE(waitUntil([&] { return announced == QList<bool>{true, false, true, false}; }));
    EXPECT_FALSE(dashboard.isEnabled());
}

TEST(Autostart, AFolderThatTakesNoEntrySaysWhyAndChangesNothing) {
    QTemporaryDir folder;
    writeFile(folder.filePath("config"), "a file where the folder should be");
    Autostart blocked(folder.filePath("config/autostart"), "/usr/bin/tablora");
    int changes = 0;
    QObject::connect(&blocked, &StartAtLogin::enabledChanged, [&] { ++changes; });
    const QString refused = blocked.setEnabled(true);
    EXPECT_TRUE(refused.startsWith(QString::fromUtf8("Couldn’t turn on start at login: ")))
            << refused.toStdString();
    EXPECT_FALSE(blocked.isEnabled());

    // An entry that can't be removed (here a folder of that name) stays, with a message.
    Autostart stuck(folder.filePath("autostart"), "/usr/bin/tablora");
    writeFile(folder.filePath("autostart/tablora.desktop/inside"), "x");
    const QString kept = stuck.setEnabled(false);
    EXPECT_TRUE(kept.startsWith(QString::fromUtf8("Couldn’t turn off start at login: ")))
            << kept.toStdString();
    EXPECT_TRUE(QFileInfo::exists(folder.filePath("autostart/tablora.desktop/inside")));

    Autostart unknown(folder.filePath("elsewhere"), "");
    EXPECT_NE(unknown.setEnabled(true), "");
    EXPECT_EQ(changes, 0);
}

// ---- The application's log

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(ApplicationLog, OneEntryPerMessageAndAFreshFileAtTheCap) {
    QTemporaryDir folder;
    ApplicationLog log(folder.path(), 300);
    log.write(QtInfoMsg, "tablora", "Dashboard in the window preview");
    log.write(QtWarningMsg, "qt.webenginecontext", "GL Type: disabled\nSurface Type: none\n");
    const QStringList lines = readAll(log.path()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(QDateTime::fromString(lines[0].section(' ', 0, 0), Qt::ISODateWithMs).isValid());
    EXPECT_EQ(lines[0].section(' ', 1), "Dashboard in the window preview");
    EXPECT_EQ(lines[1].section(' ', 1), "qt.webenginecontext: warning: GL Type: disabled");
    EXPECT_EQ(lines[2], "    Surface Type: none");

    for (int i = 0; i < 10; ++i)
        log.write(QtInfoMsg, "tablora", QString("message %1 of a run that goes on").arg(i));
    EXPECT_LE(QFileInfo(log.path()).size(), 300 + 80);
    const QString previous = readAll(log.path() + ".1");
    EXPECT_FALSE(previous.isEmpty());
    EXPECT_FALSE(previous.contains("Dashboard in")); // the oldest is gone after two rounds
    EXPECT_TRUE(readAll(log.path()).contains("message 9"));

    // A command of three million arguments is one message, cut to a line of its own.
    QTemporaryDir other;
    ApplicationLog flooded(other.path());
    flooded.write(QtInfoMsg, "tablora", "Command from a second start: " + QString(3'000'000, 'x'));
    const QString flood = readAll(flooded.path());
    EXPECT_LT(flood.size(), 5000);
    EXPECT_TRUE(flood.endsWith(QString::fromUtf8("(cut, 3000029 characters in all)\n")));
}

TEST(ApplicationLog, TakesTheProgramsMessagesFromAnyThreadAndNeverBlocks) {
    QTemporaryDir folder;
    {
        ApplicationLog log(folder.path());
        log.install(false);
        qCInfo(tabloraLog) << "Remote control on the session bus";
        qDebug() << "debugging noise";
        QThread* worker = QThread::create([] { qWarning() << "from a worker"; });
        worker->start();
        worker->wait();
        delete worker;
    }
    qCInfo(tabloraLog) << "after the log is gone";
    const QString text = readAll(QDir(folder.path()).filePath(ApplicationLog::fileName));
    EXPECT_TRUE(text.contains("Remote control on the session bus"));
    EXPECT_TRUE(text.contains("warning: from a worker"));
    EXPECT_FALSE(text.contains("debugging noise"));
    EXPECT_FALSE(text.contains("after the log is gone"));

    // A pipe in the log's place would block the first write forever.
    QTemporaryDir other;
    const QString pipe = QDir(other.path()).filePath(ApplicationLog::fileName);
    ASSERT_EQ(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    ApplicationLog blocked(other.path());
    blocked.write(QtWarningMsg, "tablora", "nobody reads this");
    EXPECT_FALSE(QFileInfo(pipe).isFile());

    // Nor does it write through a link in its place, whether the log is full or not.
    for (const qint64 cap : {ApplicationLog::sizeCap, qint64(1)}) {
        QTemporaryDir linked;
        const QString target = writeFile(linked.filePath("elsewhere"), "kept\n");
        ASSERT_TRUE(QFile::link(target, linked.filePath(ApplicationLog::fileName)));
        ApplicationLog log(linked.path(), cap);
        log.write(QtWarningMsg, "tablora", "not for that file");
        EXPECT_EQ(readAll(target), "kept\n");
        EXPECT_TRUE(QFileInfo(log.path()).isSymLink());
    }
}

// ---- Monitors from the kernel's DRM connectors

// A 128-byte EDID: manufacturer and product, the monitor's name and its preferred mode.
QByteArray edid(quint16 vendor, quint16 product, const QByteArray& name, int width, int height) {
    QByteArray bytes(128, '\0');
    const char header[] = {0,          char(0xFF), char(0xFF), char(0xFF),
                           char(0xFF), char(0xFF), char(0xFF), 0};
    bytes.replace(0, 8, QByteArray(header, 8));
    bytes[8] = char(vendor >> 8);
    bytes[9] = char(vendor & 0xFF);
    bytes[10] = char(product & 0xFF);
    bytes[11] = char(product >> 8);
    // First detailed timing: a pixel clock, then the active pixels.
    bytes[54] = 0x01;
    bytes[55] = 0x1D;
    bytes[56] = char(width & 0xFF);
    bytes[58] = char((width >> 8) << 4);
    bytes[59] = char(height & 0xFF);
    bytes[61] = char((height >> 8) << 4);
    // Second descriptor: the product name, ended by a line feed and padded with spaces.
    bytes[75] = char(0xFC);
    const QByteArray text = (name + "\n" + QByteArray(13, ' ')).left(13);
    bytes.replace(77, 13, text);
    return bytes;
}

constexpr quint16 corsair = 0x0E58;
constexpr quint16 edge = 0xED00;

struct FakeDrm : testing::Test {
    QTemporaryDir sysfs;

    void connector(const QString& name, const QByteArray& status, const QByteArray& edidBytes) {
        writeFile(sysfs.filePath("class/drm/" + name + "/status"), status);
        writeFile(sysfs.filePath("class/drm/" + name + "/edid"), edidBytes);
    }

    void SetUp() override {
        connector("card0-DP-1", "connected\n", edid(0x10AC, 0x4123, "DELL U2720Q", 3840, 2160));
        connector("card0-DP-2", "connected\n", edid(corsair, edge, "XENEON EDGE", 2560, 720));
        connector("card0-HDMI-A-1", "disconnected\n",
                  edid(corsair, edge, "XENEON EDGE", 2560, 720));
        connector("card0-eDP-1", "connected\n", QByteArray()); // no EDID read
        connector("card1-Unknown-1", "connected\n", "garbage that is no EDID");
        writeFile(sysfs.filePath("class/drm/card0/dev"), "226:0\n");
        writeFile(sysfs.filePath("class/drm/renderD128/dev"), "226:128\n");
        writeFile(sysfs.filePath("class/drm/version"), "drm 1.1.0\n");
    }

    QList<DrmConnector> read() const { return readDrmConnectors(sysfs.path()); }
};

TEST_F(FakeDrm, ConnectedConnectorsWithAnEdidAreRead) {
    const QList<DrmConnector> connectors = read();
    ASSERT_EQ(connectors.size(), 2);
    EXPECT_EQ(connectors[0].name, "DP-1");
    EXPECT_EQ(connectors[0].identity.model, (DisplayModel{0x10AC, 0x4123}));
    EXPECT_EQ(connectors[0].identity.preferredSize, QSize(3840, 2160));
    EXPECT_EQ(connectors[1].name, "DP-2");
    EXPECT_EQ(connectors[1].connector, "card0-DP-2");
    EXPECT_EQ(connectors[1].identity.model, touchscreenModel);
    EXPECT_EQ(connectors[1].identity.monitorName, "XENEON EDGE");
    EXPECT_EQ(connectors[1].identity.preferredSize, QSize(2560, 720));

    // The monitor's name: up to 13 printable characters, in whichever display descriptor holds
    // it; nothing that could act on a terminal or a label.
    QByteArray bytes = edid(corsair, edge, "XENEON EDGE", 2560, 720);
    bytes.replace(77, 13, "ABCDEFGHIJKLM");
    EXPECT_EQ(parseEdid(bytes)->monitorName, "ABCDEFGHIJKLM");
    bytes.replace(77, 13, QByteArray("EDGE\x07\x1b]0;\xFF\n    ", 13));
    EXPECT_EQ(parseEdid(bytes)->monitorName, "EDGE]0;");
    bytes[75] = 0;
    EXPECT_EQ(parseEdid(bytes)->monitorName, "");
    bytes[111] = char(0xFC);
    bytes.replace(113, 13, "LAST\n        ");
    EXPECT_EQ(parseEdid(bytes)->monitorName, "LAST");
    EXPECT_FALSE(parseEdid(edid(corsair, edge, "X", 1, 1).left(127)).has_value());
    EXPECT_FALSE(parseEdid(QByteArray(128, '\xFF')).has_value());
    EXPECT_TRUE(readDrmConnectors(sysfs.filePath("nowhere")).isEmpty());
}

TEST_F(FakeDrm, ScreensFindTheirConnectorByNameThenByModelAndSize) {
    const QList<DrmConnector> connectors = read();
    const auto names = [&](const QList<ScreenFacts>& screens) {
        QStringList found;
        for (const auto& match : matchConnectors(screens, connectors))
            found.append(match ? match->name : "-");
        return found;
    };
    // Wayland compositors name outputs after their connectors.
    EXPECT_EQ(names({{"DP-1", "", {1920, 1080}}, {"DP-2", "", {100, 100}}}),
              QStringList({"DP-1", "DP-2"}));
    // XWayland's outputs have other names and no model: the size alone, when only one fits,
    // also rotated.
    EXPECT_EQ(names({{"XWAYLAND0", "", {3840, 2160}}, {"XWAYLAND1", "", {720, 2560}}}),
              QStringList({"DP-1", "DP-2"}));
    EXPECT_EQ(names({{"XWAYLAND0", "", {1920, 1080}}}), QStringList({"-"}));
    // A connector that a screen has by name goes to no other screen by size.
    EXPECT_EQ(names({{"XWAYLAND0", "", {2560, 720}}, {"DP-2", "", {2560, 720}}}),
              QStringList({"-", "DP-2"}));
}

TEST_F(FakeDrm, TwoMonitorsOfOneSizeAreToldApartByModelOrNotAtAll) {
    connector("card0-DP-3", "connected\n", edid(0x4C2D, 0x0F55, "LS27A600U", 2560, 720));
    const QList<DrmConnector> connectors = read();
    ASSERT_EQ(connectors.size(), 3);
    auto matches = matchConnectors({{"", "XENEON EDGE", {2560, 720}}}, connectors);
    ASSERT_TRUE(matches[0].has_value());
    EXPECT_EQ(matches[0]->name, "DP-2");
    matches = matchConnectors({{"", "", {2560, 720}}}, connectors);
    EXPECT_FALSE(matches[0].has_value());
    // Two screens that could both be the same connector: neither is.
    connector("card0-DP-3", "disconnected\n", QByteArray());
    matches = matchConnectors({{"A", "", {2560, 720}}, {"B", "", {2560, 720}}}, read());
    EXPECT_FALSE(matches[0].has_value());
    EXPECT_FALSE(matches[1].has_value());
}

} // namespace
