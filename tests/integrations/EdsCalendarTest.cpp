// Calendars and tasks against a real Evolution Data Server on a private bus (run through
// support/with-eds.sh, which gives it a throw-away home folder).
#include "integrations/OrganizerService.h"
#include "integrations/linux/EdsCalendarBackend.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QJsonArray>
#include <csignal>
#include <gtest/gtest.h>
#include <libecal/libecal.h>

namespace {

QByteArray icalTime(const QDateTime& time) {
    return time.toUTC().toString("yyyyMMdd'T'HHmmss'Z'").toUtf8();
}

QByteArray icalDate(const QDate& date) {
    return date.toString("yyyyMMdd").toUtf8();
}

// The built-in personal calendar or task list, emptied.
class PersonalClient {
public:
    explicit PersonalClient(bool tasks) {
        GError* error = nullptr;
        m_registry = e_source_registry_new_sync(nullptr, &error);
        EXPECT_NE(m_registry, nullptr) << (error ? error->message : "");
        g_clear_error(&error);
        ESource* source = tasks ? e_source_registry_ref_builtin_task_list(m_registry)
                                : e_source_registry_ref_builtin_calendar(m_registry);
        m_client = E_CAL_CLIENT(e_cal_client_connect_sync(
                source, tasks ? E_CAL_CLIENT_SOURCE_TYPE_TASKS : E_CAL_CLIENT_SOURCE_TYPE_EVENTS,
                guint32(-1), nullptr, &error));
        EXPECT_NE(m_client, nullptr) << (error ? error->message : "");
        g_clear_error(&error);
        g_object_unref(source);
        removeAll();
    }

    ~PersonalClient() {
        removeAll();
        g_object_unref(m_client);
        g_object_unref(m_registry);
    }

    void create(const QByteArray& component) {
        ICalComponent* object = i_cal_component_new_from_string(component.constData());
        ASSERT_NE(object, nullptr) << component.toStdString();
        GError* error = nullptr;
        gchar* uid = nullptr;
        EXPECT_TRUE(e_cal_client_create_object_sync(m_client, object, E_CAL_OPERATION_FLAG_NONE,
                                                    &uid, nullptr, &error))
                << (error ? error->message : "");
        g_clear_error(&error);
        g_free(uid);
        g_object_unref(object);
    }

private:
    void removeAll() {
        GSList* objects = nullptr;
        if (e_cal_client_get_object_list_sync(m_client, "#t", &objects, nullptr, nullptr)) {
            for (GSList* item = objects; item; item = item->next) {
                const gchar* uid = i_cal_component_get_uid(static_cast<ICalComponent*>(item->data));
                e_cal_client_remove_object_sync(m_client, uid, nullptr, E_CAL_OBJ_MOD_ALL,
                                                E_CAL_OPERATION_FLAG_NONE, nullptr, nullptr);
            }
            e_client_util_free_object_slist(objects);
        }
    }

    ESourceRegistry* m_registry = nullptr;
    ECalClient* m_client = nullptr;
};

// Ends the calendar services running on the test's bus, as a restart of them would; the bus
// starts them again when they are next asked for.
void endCalendarServices() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_NE(bus, nullptr);
    for (const char* name :
         {"org.gnome.evolution.dataserver.Calendar8", "org.gnome.evolution.dataserver.Sources5"}) {
        GVariant* reply = g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "GetConnectionUnixProcessID", g_variant_new("(s)", name), G_VARIANT_TYPE("(u)"),
                G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        ASSERT_NE(reply, nullptr) << name;
        guint32 pid = 0;
        g_variant_get(reply, "(u)", &pid);
        g_variant_unref(reply);
        ASSERT_EQ(::kill(pid_t(pid), SIGTERM), 0);
        // Gone from the bus before the next question.
        for (int i = 0; i < 100 && ::kill(pid_t(pid), 0) == 0; ++i)
            g_usleep(50000);
    }
    g_object_unref(bus);
}

QByteArray event(const char* uid, const QByteArray& fields) {
    return "BEGIN:VEVENT\r\nUID:" + QByteArray(uid) + "\r\n" + fields + "END:VEVENT\r\n";
}

struct EdsTest : testing::Test {
    std::shared_ptr<EdsCalendarBackend> backend = std::make_shared<EdsCalendarBackend>();
    QList<QUrl> opened;
    OrganizerService service{backend, std::make_shared<SystemClock>(), [this](const QUrl& url) {
                                 opened.append(url);
                                 return true;
                             }};

    void refresh(OrganizerService::Kind kind) {
        bool done = false;
        service.refresh(kind, [&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }, 30000));
    }

    std::optional<QString> call(const std::function<void(OrganizerService::Done)>& operation) {
        std::optional<std::optional<QString>> result;
        operation([&](const std::optional<QString>& error) { result = error; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }, 30000));
        return result.value_or(QString("no answer"));
    }

    QJsonObject eventTitled(const QString& title) {
        for (const QJsonValue& entry : service.calendarState()["events"].toArray()) {
            if (entry.toObject()["title"] == title)
                return entry.toObject();
        }
        return {};
    }
};

} // namespace

TEST_F(EdsTest, EventsOfTheComingWeek) {
    PersonalClient calendar(false);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    calendar.create(event("running", "SUMMARY:Running\r\nDTSTART:" + icalTime(now.addDays(-1)) +
                                             "\r\nDTEND:" + icalTime(now.addSecs(3600)) + "\r\n"));
    calendar.create(event("over", "SUMMARY:Over\r\nDTSTART:" + icalTime(now.addSecs(-7200)) +
                                          "\r\nDTEND:" + icalTime(now.addSecs(-3600)) + "\r\n"));
    calendar.create(event("far", "SUMMARY:Far\r\nDTSTART:" + icalTime(now.addDays(8)) +
                                         "\r\nDTEND:" + icalTime(now.addDays(8).addSecs(3600)) +
                                         "\r\n"));
    calendar.create(
            event("standup",
                  "SUMMARY:Standup\r\nDTSTART:" + icalTime(now.addDays(1)) +
                          "\r\nDTEND:" + icalTime(now.addDays(1).addSecs(900)) +
                          "\r\nRRULE:FREQ=DAILY;COUNT=2\r\nLOCATION:Room 12\r\n"
                          "DESCRIPTION:Join https://teams.microsoft.com/l/meetup-join/19abc\r\n"));
    const QDate tomorrow = now.toLocalTime().date().addDays(2);
    calendar.create(event(
            "holiday", "SUMMARY:Holiday\r\nDTSTART;VALUE=DATE:" + icalDate(tomorrow) +
                               "\r\nDTEND;VALUE=DATE:" + icalDate(tomorrow.addDays(1)) + "\r\n"));
    calendar.create(event("nameless", "DTSTART:" + icalTime(now.addDays(3)) + "\r\nDTEND:" +
                                              icalTime(now.addDays(3).addSecs(600)) + "\r\n"));
    calendar.create(event("startless", "SUMMARY:No start\r\n"));
    calendar.create(
            event("endless", "SUMMARY:Endless\r\nDTSTART:" + icalTime(now.addDays(5)) + "\r\n"));
    calendar.create(
            event("fake", "SUMMARY:Fake\r\nDTSTART:" + icalTime(now.addDays(4)) +
                                  "\r\nDTEND:" + icalTime(now.addDays(4).addSecs(600)) +
                                  "\r\nLOCATION:https://teams.microsoft.com.evil.example/x\r\n"));

    EXPECT_EQ(call([&](auto done) { service.authorize(OrganizerService::Kind::events, done); }),
              std::nullopt);
    const QJsonArray events = service.calendarState()["events"].toArray();
    QStringList titles;
    for (const QJsonValue& entry : events)
        titles.append(entry.toObject()["title"].toString());
    EXPECT_EQ(titles, QStringList({"Running", "Standup", "Holiday", "Standup", "Untitled event",
                                   "Fake", "Endless"}));
    EXPECT_EQ(eventTitled("Endless")["end"], eventTitled("Endless")["start"]);
    EXPECT_EQ(service.calendarState()["authorized"], true);

    const QJsonObject running = eventTitled("Running");
    EXPECT_EQ(running["calendar"], "Personal");
    EXPECT_NEAR(running["end"].toDouble(), double(now.addSecs(3600).toMSecsSinceEpoch()), 1000);
    EXPECT_EQ(eventTitled("Holiday")["allDay"], true);
    EXPECT_FALSE(eventTitled("Fake")["joinable"].toBool());

    // Both occurrences of the recurring meeting can be joined, each under its own id.
    QStringList standups;
    for (const QJsonValue& entry : events) {
        if (entry.toObject()["title"] == "Standup") {
            EXPECT_TRUE(entry.toObject()["joinable"].toBool());
            standups.append(entry.toObject()["id"].toString());
        }
    }
    ASSERT_EQ(standups.size(), 2);
    EXPECT_NE(standups[0], standups[1]);
    EXPECT_EQ(call([&](auto done) { service.join(standups[1], done); }), std::nullopt);
    EXPECT_EQ(opened, QList<QUrl>({QUrl("https://teams.microsoft.com/l/meetup-join/19abc")}));
}

TEST_F(EdsTest, ARestartOfTheCalendarServiceIsFollowed) {
    PersonalClient calendar(false);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    calendar.create(event("kept", "SUMMARY:Kept\r\nDTSTART:" + icalTime(now.addDays(1)) +
                                          "\r\nDTEND:" + icalTime(now.addDays(1).addSecs(600)) +
                                          "\r\n"));
    refresh(OrganizerService::Kind::events);
    ASSERT_FALSE(eventTitled("Kept").isEmpty());
    endCalendarServices();
    refresh(OrganizerService::Kind::events);
    EXPECT_EQ(service.calendarState()["authorized"], true);
    EXPECT_FALSE(eventTitled("Kept").isEmpty());
}

TEST_F(EdsTest, ThirtyOfFortyUpcomingEvents) {
    PersonalClient calendar(false);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < 40; ++i) {
        const QDateTime start = now.addSecs(3600 + i * 600);
        calendar.create(event(QByteArray("e") + QByteArray::number(i),
                              "SUMMARY:Event " + QByteArray::number(i) +
                                      "\r\nDTSTART:" + icalTime(start) +
                                      "\r\nDTEND:" + icalTime(start.addSecs(300)) + "\r\n"));
    }
    refresh(OrganizerService::Kind::events);
    const QJsonArray events = service.calendarState()["events"].toArray();
    // Refreshing all day keeps nothing open: each refresh's connections are let go of. (The
    // registry kept alive by a refresh held two descriptors: three refreshes show it.)
    const qsizetype descriptors = QDir("/proc/self/fd").count();
    for (int i = 0; i < 3; ++i) {
        int done = 0;
        service.refresh(OrganizerService::Kind::events, [&] { ++done; });
        service.refresh(OrganizerService::Kind::reminders, [&] { ++done; });
        ASSERT_TRUE(waitUntil([&] { return done == 2; }, 30000));
    }
    EXPECT_LE(QDir("/proc/self/fd").count(), descriptors + 2);
    ASSERT_EQ(events.size(), 30);
    EXPECT_EQ(events[0].toObject()["title"], "Event 0");
    EXPECT_EQ(events[29].toObject()["title"], "Event 29");
}

TEST_F(EdsTest, TasksAsRemindersAndCompletingOne) {
    PersonalClient tasks(true);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < 60; ++i) {
        QByteArray fields = "SUMMARY:Task " + QByteArray::number(i) + "\r\n";
        if (i % 2 == 0)
            fields += "DUE:" + icalTime(now.addDays(1 + i)) + "\r\n";
        tasks.create("BEGIN:VTODO\r\nUID:t" + QByteArray::number(i) + "\r\n" + fields +
                     "END:VTODO\r\n");
    }
    tasks.create(
            "BEGIN:VTODO\r\nUID:done\r\nSUMMARY:Done already\r\nSTATUS:COMPLETED\r\nEND:VTODO\r\n");

    refresh(OrganizerService::Kind::reminders);
    QJsonArray items = service.remindersState()["items"].toArray();
    ASSERT_EQ(items.size(), 50);
    EXPECT_EQ(items[0].toObject()["id"], "t0");
    EXPECT_NEAR(items[0].toObject()["due"].toDouble(), double(now.addDays(1).toMSecsSinceEpoch()),
                1000);
    EXPECT_EQ(items[29].toObject()["id"], "t58");
    EXPECT_TRUE(items[30].toObject()["due"].isNull());
    EXPECT_EQ(items[0].toObject()["list"], "Personal");

    EXPECT_EQ(call([&](auto done) { service.complete("t0", done); }), std::nullopt);
    items = service.remindersState()["items"].toArray();
    EXPECT_EQ(items[0].toObject()["id"], "t2");
    EXPECT_EQ(call([&](auto done) { service.complete("missing", done); }),
              "Reminder is unavailable");
}
