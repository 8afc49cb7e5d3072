#include "integrations/OrganizerService.h"

#include "support/EventLoop.h"
#include "support/FakeClock.h"

#include <QJsonArray>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class FakeCalendar : public CalendarBackend {
public:
    std::optional<QList<Event>> eventList = QList<Event>();
    std::optional<QList<Reminder>> reminderList = QList<Reminder>();
    bool granted = true;
    QStringList completed;
    std::optional<QString> completeError;
    QDateTime askedFrom;
    QDateTime askedTo;

    void requestAccess(Kind, QObject* receiver, std::function<void(bool)> done) override {
        const bool answer = granted;
        QTimer::singleShot(0, receiver, [done, answer] { done(answer); });
    }
    void events(const QDateTime& from, const QDateTime& to, QObject* receiver,
                Answer<QList<Event>> done) override {
        askedFrom = from;
        askedTo = to;
        const auto answer = eventList;
        QTimer::singleShot(0, receiver, [done, answer] { done(answer); });
    }
    void reminders(QObject* receiver, Answer<QList<Reminder>> done) override {
        const auto answer = reminderList;
        QTimer::singleShot(0, receiver, [done, answer] { done(answer); });
    }
    void complete(const QString& id, QObject* receiver,
                  std::function<void(bool, const std::optional<QString>&)> done) override {
        const bool found =
                reminderList && std::any_of(reminderList->begin(), reminderList->end(),
                                            [&](const Reminder& r) { return r.identifier == id; });
        if (found && !completeError) {
            completed.append(id);
            reminderList->removeIf([&](const Reminder& r) { return r.identifier == id; });
        }
        const auto error = completeError;
        QTimer::singleShot(0, receiver, [done, found, error] { done(found, error); });
    }
};

struct OrganizerTest : testing::Test {
    std::shared_ptr<FakeCalendar> calendar = std::make_shared<FakeCalendar>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    QList<QUrl> opened;
    OrganizerService service{calendar, clock, [this](const QUrl& url) {
                                 opened.append(url);
                                 return true;
                             }};

    QDateTime at(double hours) const { return clock->now().addSecs(qint64(hours * 3600)); }

    void refresh(OrganizerService::Kind kind) {
        bool done = false;
        service.refresh(kind, [&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }));
    }

    std::optional<QString> call(const std::function<void(OrganizerService::Done)>& operation) {
        std::optional<std::optional<QString>> result;
        operation([&](const std::optional<QString>& error) { result = error; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(QString("no answer"));
    }

    QJsonArray events() const { return service.calendarState()["events"].toArray(); }
};

} // namespace

TEST_F(OrganizerTest, UnauthorizedUntilTheServiceAnswers) {
    EXPECT_EQ(service.calendarState(),
              (QJsonObject{{"authorized", false}, {"events", QJsonArray()}}));
    EXPECT_EQ(service.remindersState(),
              (QJsonObject{{"authorized", false}, {"items", QJsonArray()}}));
    calendar->eventList.reset();
    refresh(OrganizerService::Kind::events);
    EXPECT_EQ(service.calendarState()["authorized"], false);

    calendar->granted = false;
    EXPECT_EQ(call([&](auto done) { service.authorize(OrganizerService::Kind::events, done); }),
              "The calendar service did not answer. Make sure Evolution Data Server is installed, "
              "then try Connect again.");
    calendar->granted = true;
    calendar->eventList = QList<CalendarBackend::Event>();
    EXPECT_EQ(call([&](auto done) { service.authorize(OrganizerService::Kind::events, done); }),
              std::nullopt);
    EXPECT_EQ(service.calendarState()["authorized"], true);
}

TEST_F(OrganizerTest, EventsOfTheComingWeek) {
    QList<CalendarBackend::Event> list;
    list.append({"running", "Running", "Work", at(-24), at(1), false, "", "", ""});
    list.append({"over", "Over", "Work", at(-3), at(-1), false, "", "", ""});
    list.append({"later", "", "Home", at(5), at(6), true, "", "Room 4", ""});
    list.append({"soon", "Soon", "Home", at(2), at(3), false, "", "", ""});
    calendar->eventList = list;
    refresh(OrganizerService::Kind::events);
    EXPECT_EQ(calendar->askedFrom, QDateTime(clock->now().toLocalTime().date(), QTime(0, 0)));
    EXPECT_EQ(calendar->askedTo, clock->now().addDays(7));
    const QJsonArray shown = events();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0].toObject()["title"], "Running");
    EXPECT_EQ(shown[1].toObject()["title"], "Soon");
    EXPECT_EQ(shown[2].toObject()["title"], "Untitled event");
    EXPECT_EQ(shown[2].toObject()["allDay"], true);
    EXPECT_EQ(shown[2].toObject()["start"], double(at(5).toMSecsSinceEpoch()));
    EXPECT_EQ(shown[0].toObject()["id"],
              "running-" + QString::number(at(-24).toSecsSinceEpoch()) + ".0");
    EXPECT_EQ(shown[0].toObject().keys(),
              QStringList({"allDay", "calendar", "end", "id", "joinable", "start", "title"}));

    list.clear();
    for (int i = 0; i < 40; ++i)
        list.append(
                {QString("e%1").arg(i), "E", "Work", at(40 - i), at(41 - i), false, "", "", ""});
    calendar->eventList = list;
    refresh(OrganizerService::Kind::events);
    ASSERT_EQ(events().size(), 30);
    EXPECT_EQ(events()[0].toObject()["id"].toString().section('-', 0, 0), "e39");
}

TEST_F(OrganizerTest, MeetingLinks) {
    EXPECT_EQ(OrganizerService::meetingURL("", "Room 12",
                                           "Join: https://teams.microsoft.com/l/meetup/19:abc."),
              QUrl("https://teams.microsoft.com/l/meetup/19:abc"));
    EXPECT_EQ(OrganizerService::meetingURL("https://example.org/agenda", "",
                                           "https://us02web.zoom.us/j/123"),
              QUrl("https://us02web.zoom.us/j/123"));
    EXPECT_EQ(OrganizerService::meetingURL("", "https://MEET.GOOGLE.COM/abc-defg-hij", ""),
              QUrl("https://MEET.GOOGLE.COM/abc-defg-hij"));
    EXPECT_FALSE(OrganizerService::meetingURL("http://zoom.us/j/1", "", ""));
    EXPECT_FALSE(OrganizerService::meetingURL(
            "", "", "https://notzoom.us/j/1 and https://zoom.us.evil.example/j/2"));
    EXPECT_FALSE(OrganizerService::meetingURL("", "zoom.us/j/1", ""));

    calendar->eventList = QList<CalendarBackend::Event>{
            {"weekly", "Standup", "Work", at(1), at(2), false, "", "",
             "https://acme.webex.com/meet/x"},
            {"weekly", "Standup", "Work", at(25), at(26), false, "", "",
             "https://acme.webex.com/meet/x"},
            {"plain", "Lunch", "Home", at(3), at(4), false, "", "Cafe", ""}};
    refresh(OrganizerService::Kind::events);
    // Sorted by start: the lunch comes between the two standups.
    const QString first = events()[0].toObject()["id"].toString();
    const QString second = events()[2].toObject()["id"].toString();
    EXPECT_NE(first, second);
    EXPECT_TRUE(events()[0].toObject()["joinable"].toBool());
    EXPECT_TRUE(events()[2].toObject()["joinable"].toBool());
    EXPECT_FALSE(events()[1].toObject()["joinable"].toBool());
    EXPECT_EQ(call([&](auto done) { service.join(second, done); }), std::nullopt);
    EXPECT_EQ(opened, QList<QUrl>({QUrl("https://acme.webex.com/meet/x")}));
    EXPECT_EQ(call([&](auto done) { service.join(events()[1].toObject()["id"].toString(), done); }),
              "Meeting link is unavailable");
}

TEST_F(OrganizerTest, RemindersDatedFirstAndCompleting) {
    QList<CalendarBackend::Reminder> list;
    for (int i = 0; i < 30; ++i)
        list.append({QString("u%1").arg(i), "", "Inbox", std::nullopt});
    for (int i = 0; i < 30; ++i)
        list.append({QString("d%1").arg(i), "Task", "Inbox", at(30 - i)});
    calendar->reminderList = list;
    EXPECT_EQ(call([&](auto done) { service.complete("d1", done); }), "Reminder is unavailable");
    refresh(OrganizerService::Kind::reminders);
    const QJsonArray items = service.remindersState()["items"].toArray();
    ASSERT_EQ(items.size(), 50);
    EXPECT_EQ(items[0].toObject()["id"], "d29");
    EXPECT_EQ(items[29].toObject()["id"], "d0");
    EXPECT_EQ(items[30].toObject()["id"], "u0");
    EXPECT_TRUE(items[30].toObject()["due"].isNull());
    EXPECT_EQ(items[30].toObject()["title"], "Untitled reminder");

    EXPECT_EQ(call([&](auto done) { service.complete("d29", done); }), std::nullopt);
    EXPECT_EQ(calendar->completed, QStringList({"d29"}));
    EXPECT_EQ(service.remindersState()["items"].toArray()[0].toObject()["id"], "d28");
    EXPECT_EQ(call([&](auto done) { service.complete("nope", done); }), "Reminder is unavailable");
    calendar->completeError = "Backend is read-only";
    EXPECT_EQ(call([&](auto done) { service.complete("d28", done); }), "Backend is read-only");
}
