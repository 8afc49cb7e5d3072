#pragma once

#include "integrations/CalendarBackend.h"

// Calendars and task lists of Evolution Data Server (and the online accounts behind it), read
// through libecal on worker threads. "Authorized" means the calendar service answered.
class EdsCalendarBackend : public CalendarBackend {
public:
    void requestAccess(Kind kind, QObject* receiver,
                       std::function<void(bool granted)> done) override;
    void events(const QDateTime& from, const QDateTime& to, QObject* receiver,
                Answer<QList<Event>> done) override;
    void reminders(QObject* receiver, Answer<QList<Reminder>> done) override;
    void
    complete(const QString& identifier, QObject* receiver,
             std::function<void(bool found, const std::optional<QString>& error)> done) override;
};
