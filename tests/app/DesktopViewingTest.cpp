// The desktop's own sources of "nobody looks", for real: a screen saver and logind faked on a
// private bus, and the X screen saver of an Xvfb.
#include "desktop/linux/DBusScreenSaver.h"
#include "desktop/linux/LogindSession.h"
#include "desktop/linux/X11ScreenSaver.h"
#include "desktop/linux/X11WindowCover.h"
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
    // A touch on the bar is user activity the desktop never saw: it is reported.
    QStringList calls;
    service.answer = [&](const QDBusMessage& call) {
        calls.append(call.member());
        return call.createReply();
    };
    saver.wake();
    EXPECT_TRUE(waitUntil([&] { return calls.contains("SimulateUserActivity"); }));
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
    // Woken all the same (GNOME's saver is told to stop), and a refusal changes nothing.
    QList<QDBusMessage> calls;
    service.answer = [&](const QDBusMessage& call) {
        calls.append(call);
        return call.createErrorReply(QDBusError::AccessDenied, "locked");
    };
    saver.wake();
    ASSERT_TRUE(waitUntil([&] { return !calls.isEmpty(); }));
    EXPECT_EQ(calls.first().member(), "SetActive");
    EXPECT_EQ(calls.first().arguments(), QVariantList({false}));
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

// An Xvfb of the test's own, on a display number it picks itself.
struct X11Viewing : testing::Test {
    QProcess server;
    QByteArray display;
    xcb_connection_t* user = nullptr;

    void SetUp() override {
        server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
        QByteArray number;
        while (!number.endsWith('\n') && server.waitForReadyRead(10000))
            number += server.readAllStandardOutput();
        ASSERT_FALSE(number.trimmed().isEmpty()) << "Xvfb did not start";
        display = ':' + number.trimmed();
        user = xcb_connect(display.constData(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(user));
    }

    void TearDown() override {
        xcb_disconnect(user);
        server.kill();
        server.waitForFinished();
    }

    // A mapped window of the given size at the top left.
    xcb_window_t window(quint16 width, quint16 height) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(user)).data;
        const xcb_window_t id = xcb_generate_id(user);
        const quint32 overrideRedirect = 1;
        xcb_create_window(user, XCB_COPY_FROM_PARENT, id, screen->root, 0, 0, width, height, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
        xcb_map_window(user, id);
        xcb_flush(user);
        return id;
    }

    void forceSaver(quint8 mode) {
        xcb_force_screen_saver(user, mode);
        xcb_flush(user);
    }
};

TEST_F(X11Viewing, TheXScreenSaverHidesWhileItRuns) {
    X11ScreenSaver saver(display);
    EXPECT_TRUE(saver.followsSaver());
    EXPECT_FALSE(saver.followsPower()); // Xvfb has no DPMS
    EXPECT_FALSE(saver.hides());

    // What `xset s activate` and `xset s reset` do.
    forceSaver(XCB_SCREEN_SAVER_ACTIVE);
    EXPECT_TRUE(waitUntil([&] { return saver.hides(); }, 1000));
    saver.pollPower(); // nothing to ask: no hang, no change
    forceSaver(XCB_SCREEN_SAVER_RESET);
    EXPECT_TRUE(waitUntil([&] { return !saver.hides(); }, 1000));
    forceSaver(XCB_SCREEN_SAVER_ACTIVE);
    EXPECT_TRUE(waitUntil([&] { return saver.hides(); }, 1000));
    // A touch on the bar ends it as any input would.
    saver.wake();
    EXPECT_TRUE(waitUntil([&] { return !saver.hides(); }, 1000));
    forceSaver(XCB_SCREEN_SAVER_ACTIVE);
    EXPECT_TRUE(waitUntil([&] { return saver.hides(); }, 1000));

    // The server goes away: nothing is hidden by it any more, nor by a display that is gone.
    server.kill();
    server.waitForFinished();
    EXPECT_TRUE(waitUntil([&] { return !saver.hides(); }, 2000));
    X11ScreenSaver none(display);
    EXPECT_FALSE(none.followsSaver());
    none.pollPower();
    EXPECT_FALSE(none.hides());
}

TEST_F(X11Viewing, AWindowHidesOnlyWhileFullyCovered) {
    const xcb_window_t dashboard = window(300, 200);
    X11WindowCover cover(dashboard, display);
    spin(100);
    EXPECT_FALSE(cover.hides());

    window(100, 100); // partly
    spin(300);
    EXPECT_FALSE(cover.hides());
    const xcb_window_t fully = window(400, 300);
    EXPECT_TRUE(waitUntil([&] { return cover.hides(); }, 1000));
    xcb_unmap_window(user, fully);
    xcb_flush(user);
    EXPECT_TRUE(waitUntil([&] { return !cover.hides(); }, 1000));
    xcb_map_window(user, fully);
    xcb_flush(user);
    EXPECT_TRUE(waitUntil([&] { return cover.hides(); }, 1000));
    // A window that is destroyed is no longer covered by anything.
    xcb_destroy_window(user, dashboard);
    xcb_flush(user);
    EXPECT_TRUE(waitUntil([&] { return !cover.hides(); }, 1000));
}
