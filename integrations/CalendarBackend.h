#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// The calendar database: events with their occurrences, open tasks, and completing a task. Every
// answer comes later on the main thread; "nothing" means the calendar service did not answer.
class CalendarBackend {
public:
    enum class Kind { events, reminders };

    struct Event {
        QString identifier;
        QString title;
        QString calendar;
        QDateTime start;
        QDateTime end;
        bool allDay = false;
        QString url;
        QString location;
        QString notes;
    };

    struct Reminder {
        QString identifier;
        QString title;
        QString list;
        std::optional<QDateTime> due;
    };

    template <typename T> using Answer = std::function<void(const std::optional<T>&)>;

    virtual ~CalendarBackend() = default;
    // Whether the calendar service can be reached at all.
    virtual void requestAccess(Kind kind, QObject* receiver,
                               std::function<void(bool granted)> done) = 0;
    // Occurrences overlapping the range, recurring events expanded.
    virtual void events(const QDateTime& from, const QDateTime& to, QObject* receiver,
                        Answer<QList<Event>> done) = 0;
    // Tasks that are not completed.
    virtual void reminders(QObject* receiver, Answer<QList<Reminder>> done) = 0;
    // Marks a task completed; `found` is false when no task has that identifier.
    virtual void
    complete(const QString& identifier, QObject* receiver,
             std::function<void(bool found, const std::optional<QString>& error)> done) = 0;
};
