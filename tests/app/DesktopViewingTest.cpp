// The desktop's own sources of "nobody looks", for real: a screen saver and logind faked on a
// private bus, and the X screen saver of an Xvfb.
#include "app/linux/DBusScreenSaver.h"
#include "app/linux/LogindSession.h"
#include "app/linux/X11ScreenSaver.h"
#include "support/EventLoop.h"
#include "support/PrivateBus.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <functional>
#include <xcb/xcb.h>

namespace {

// A desktop service that answers every call on its paths as told.
class FakeService : public QDBusVirtualObject {
public:
    std::function<QDBusMessage(const QDBusMessage&)> answer;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        connection.send(answer(message));
        return true;
    }
};

struct DesktopViewing : testing::Test {
    PrivateBus bus;
    QDBusConnection client = bus.connect("client");
    QDBusConnection desktop = bus.connect("desktop");
    FakeService service;

    void offer(const QString& name, const QString& path) {
        ASSERT_TRUE(desktop.registerVirtualObject(path, &service, QDBusConnection::SubPath));
        ASSERT_TRUE(desktop.registerService(name));
    }
};

} // namespace

TEST_F(DesktopViewing, TheScreenSaverHidesWhileActiveAndOnlyWhileItIsThere) {
    const DBusScreenSaver::Service kind = DBusScreenSaver::freedesktop();
    bool active = true;
    service.answer = [&](const QDBusMessage& call) {
        return call.member() == "GetActive" ? call.createReply(active)
                                            : call.createErrorReply(QDBusError::UnknownMethod, "");
    };
    // None on the bus yet: no source, and nothing waits for one.
    QElapsedTimer started;
    started.start();
    DBusScreenSaver saver(client, kind);
    EXPECT_LT(started.elapsed(), 200);
    spin(200);
    EXPECT_FALSE(saver.hides());

    offer(kind.name, kind.path);
    EXPECT_TRUE(waitUntil([&] { return saver.hides(); }));
    const auto announce = [&](bool on) {
        active = on;
        desktop.send(QDBusMessage::createSignal(kind.path, kind.interface, "ActiveChanged") << on);
    };
    announce(false);
    EXPECT_TRUE(waitUntil([&] { return !saver.hides(); }));
    announce(true);
    EXPECT_TRUE(waitUntil([&] { return saver.hides(); }));
    // A saver that quits while active hides nothing any more.
    desktop.unregisterService(kind.name);
    EXPECT_TRUE(waitUntil([&] { return !saver.hides(); }));
}

TEST_F(DesktopViewing, AScreenSaverServiceWithoutTheCallTellsNothing) {
    const DBusScreenSaver::Service kind = DBusScreenSaver::gnome();
    service.answer = [](const QDBusMessage& call) {
        return call.createErrorReply(QDBusError::UnknownMethod, "not here");
    };
    offer(kind.name, kind.path);
    DBusScreenSaver saver(client, kind);
    spin(300);
    EXPECT_FALSE(saver.hides());
}

TEST_F(DesktopViewing, TheSessionHidesWhileLockedOrIdle) {
    const QString sessionPath = "/org/freedesktop/login1/session/_32";
    const QString session = "org.freedesktop.login1.Session";
    QVariantMap hints{{"LockedHint", true}, {"IdleHint", false}, {"Name", "someone"}};
    QStringList asked;
    service.answer = [&](const QDBusMessage& call) {
        asked.append(call.member());
        if (call.member() == "GetSession" && call.arguments() == QVariantList{"auto"})
            return call.createReply(QVariant::fromValue(QDBusObjectPath(sessionPath)));
        if (call.member() == "GetAll" && call.path() == sessionPath &&
            call.arguments() == QVariantList{session})
            return call.createReply(hints);
        return call.createErrorReply(QDBusError::UnknownMethod, "");
    };
    offer("org.freedesktop.login1", "/org/freedesktop/login1");
    LogindSession logind(client);
    EXPECT_TRUE(waitUntil([&] { return logind.hides(); }));

    const auto changed = [&](const QVariantMap& values, const QStringList& invalidated) {
        desktop.send(QDBusMessage::createSignal(sessionPath, "org.freedesktop.DBus.Properties",
                                                "PropertiesChanged")
                     << session << values << invalidated);
    };
    hints["LockedHint"] = false;
    changed({{"LockedHint", false}}, {});
    EXPECT_TRUE(waitUntil([&] { return !logind.hides(); }));
    changed({{"LockedHint", true}}, {});
    EXPECT_TRUE(waitUntil([&] { return logind.hides(); }));
    // Another interface's change means nothing.
    desktop.send(QDBusMessage::createSignal(sessionPath, "org.freedesktop.DBus.Properties",
                                            "PropertiesChanged")
                 << QString("org.example.Other") << QVariantMap{{"LockedHint", false}}
                 << QStringList());
    spin(200);
    EXPECT_TRUE(logind.hides());
    // A hint that is only invalidated is read again.
    hints["LockedHint"] = false;
    hints["IdleHint"] = true;
    changed({{"LockedHint", false}}, {"IdleHint"});
    EXPECT_TRUE(waitUntil([&] { return asked.count("GetAll") == 2; }));
    spin(100);
    EXPECT_TRUE(logind.hides()); // idle
    hints["IdleHint"] = false;
    changed({{"IdleHint", false}}, {});
    EXPECT_TRUE(waitUntil([&] { return !logind.hides(); }));
}

TEST_F(DesktopViewing, WithoutLogindOrABusThereIsNoSessionToFollow) {
    LogindSession logind(client);
    LogindSession noBus(QDBusConnection(QString("never connected")));
    spin(300);
    EXPECT_FALSE(logind.hides());
    EXPECT_FALSE(noBus.hides());
}

TEST(X11ScreenSaverTest, TheXScreenSaverHidesWhileItRuns) {
    QProcess server;
    server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
    QByteArray number;
    while (!number.endsWith('\n') && server.waitForReadyRead(10000))
        number += server.readAllStandardOutput();
    ASSERT_FALSE(number.trimmed().isEmpty()) << "Xvfb did not start";
    const QByteArray display = ':' + number.trimmed();

    X11ScreenSaver saver(display);
    EXPECT_TRUE(saver.followsSaver());
    EXPECT_FALSE(saver.followsPower()); // Xvfb has no DPMS
    EXPECT_FALSE(saver.hides());

    // What `xset s activate` and `xset s reset` do.
    xcb_connection_t* user = xcb_connect(display.constData(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(user));
    const auto force = [user](quint8 mode) {
        xcb_force_screen_saver(user, mode);
        xcb_flush(user);
    };
    force(XCB_SCREEN_SAVER_ACTIVE);
    EXPECT_TRUE(waitUntil([&] { return saver.hides(); }, 1000));
    saver.pollPower(); // nothing to ask: no hang, no change
    force(XCB_SCREEN_SAVER_RESET);
    EXPECT_TRUE(waitUntil([&] { return !saver.hides(); }, 1000));
    force(XCB_SCREEN_SAVER_ACTIVE);
    EXPECT_TRUE(waitUntil([&] { return saver.hides(); }, 1000));
    xcb_disconnect(user);

    // The server goes away: nothing is hidden by it any more.
    server.kill();
    server.waitForFinished();
    EXPECT_TRUE(waitUntil([&] { return !saver.hides(); }, 2000));

    X11ScreenSaver none(display);
    EXPECT_FALSE(none.followsSaver());
    none.pollPower();
    EXPECT_FALSE(none.hides());
}
