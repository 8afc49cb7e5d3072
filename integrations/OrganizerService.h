#pragma once

#include "integrations/CalendarBackend.h"
#include "model/Clock.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>

// The coming calendar events (with one-tap joining of online meetings) and the open reminders.
class OrganizerService : public QObject {
    Q_OBJECT

public:
    using Kind = CalendarBackend::Kind;
    using Done = std::function<void(const std::optional<QString>& error)>;
    using UrlOpener = std::function<bool(const QUrl&)>;

    static constexpr int eventLimit = 30;
    static constexpr int reminderLimit = 50;

    OrganizerService(std::shared_ptr<CalendarBackend> backend, std::shared_ptr<const Clock> clock,
                     UrlOpener openUrl, QObject* parent = nullptr);

    const QJsonObject& calendarState() const { return m_calendarState; }
    const QJsonObject& remindersState() const { return m_remindersState; }

    void refresh(Kind kind, std::function<void()> done = {});
    void authorize(Kind kind, Done done);
    void join(const QString& eventID, Done done);
    void complete(const QString& reminderID, Done done);

    // The first https link to a known meeting service in the event's URL, location and notes.
    static std::optional<QUrl> meetingURL(const QString& url, const QString& location,
                                          const QString& notes);
    static const QStringList& meetingHosts();

Q_SIGNALS: // also included where GLib needs Qt's keywords off
    void changed();

private:
    void applyEvents(const std::optional<QList<CalendarBackend::Event>>& events);
    void applyReminders(const std::optional<QList<CalendarBackend::Reminder>>& reminders);

    std::shared_ptr<CalendarBackend> m_backend;
    std::shared_ptr<const Clock> m_clock;
    UrlOpener m_openUrl;
    QJsonObject m_calendarState;
    QJsonObject m_remindersState;
    QHash<QString, QUrl> m_joins;
    bool m_refreshingEvents = false;
    bool m_refreshingReminders = false;
};
