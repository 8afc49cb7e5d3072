#include "OrganizerService.h"

#include "model/linux/PlatformTexts.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <algorithm>

namespace {

QJsonObject unauthorized(const char* listKey) {
    return {{QStringLiteral("authorized"), false}, {QLatin1String(listKey), QJsonArray()}};
}

QString orUntitled(const QString& title, const char* fallback) {
    return title.isEmpty() ? QLatin1String(fallback) : title;
}

// Seconds since 1970 as a decimal number, always with a fractional part.
QString secondsText(const QDateTime& time) {
    QString text = QString::number(time.toMSecsSinceEpoch() / 1000.0, 'f', 3);
    while (text.endsWith(QLatin1Char('0')) && !text.endsWith(QStringLiteral(".0")))
        text.chop(1);
    return text;
}

} // namespace

OrganizerService::OrganizerService(std::shared_ptr<CalendarBackend> backend,
                                   std::shared_ptr<const Clock> clock, UrlOpener openUrl,
                                   QObject* parent)
    : QObject(parent), m_backend(std::move(backend)), m_clock(std::move(clock)),
      m_openUrl(std::move(openUrl)), m_calendarState(unauthorized("events")),
      m_remindersState(unauthorized("items")) {}

const QStringList& OrganizerService::meetingHosts() {
    static const QStringList hosts = {
            QStringLiteral("zoom.us"),        QStringLiteral("zoom.com"),
            QStringLiteral("zoomgov.com"),    QStringLiteral("teams.microsoft.com"),
            QStringLiteral("teams.live.com"), QStringLiteral("meet.google.com"),
            QStringLiteral("webex.com")};
    return hosts;
}

std::optional<QUrl> OrganizerService::meetingURL(const QString& url, const QString& location,
                                                 const QString& notes) {
    QStringList pieces;
    for (const QString& piece : {url, location, notes}) {
        if (!piece.isEmpty())
            pieces.append(piece);
    }
    static const QRegularExpression link(QStringLiteral("[A-Za-z][A-Za-z0-9+.-]*://[^\\s<>\"]+"));
    auto matches = link.globalMatch(pieces.join(QLatin1Char(' ')));
    while (matches.hasNext()) {
        QString text = matches.next().captured();
        // Punctuation that ends a sentence is not part of the link.
        while (!text.isEmpty() && QStringLiteral(".,;:!?)]}'").contains(text.back()))
            text.chop(1);
        const QUrl candidate(text);
        const QString host = candidate.host().toLower();
        if (candidate.scheme() != QStringLiteral("https") || host.isEmpty())
            continue;
        const bool known =
                std::any_of(meetingHosts().begin(), meetingHosts().end(), [&](const QString& h) {
                    return host == h || host.endsWith(QLatin1Char('.') + h);
                });
        if (known)
            return candidate;
    }
    return std::nullopt;
}

void OrganizerService::refresh(Kind kind, std::function<void()> done) {
    bool& running = kind == Kind::events ? m_refreshingEvents : m_refreshingReminders;
    if (running) {
        if (done)
            done();
        return;
    }
    running = true;
    if (kind == Kind::events) {
        const QDateTime now = m_clock->now();
        const QDateTime startOfToday = QDateTime(now.toLocalTime().date(), QTime(0, 0));
        m_backend->events(startOfToday, now.addDays(7), this,
                          [this, done](const std::optional<QList<CalendarBackend::Event>>& events) {
                              applyEvents(events);
                              m_refreshingEvents = false;
                              emit changed();
                              if (done)
                                  done();
                          });
    } else {
        m_backend->reminders(
                this, [this, done](const std::optional<QList<CalendarBackend::Reminder>>& items) {
                    applyReminders(items);
                    m_refreshingReminders = false;
                    emit changed();
                    if (done)
                        done();
                });
    }
}

void OrganizerService::applyEvents(const std::optional<QList<CalendarBackend::Event>>& events) {
    if (!events) {
        m_calendarState = unauthorized("events");
        m_joins.clear();
        return;
    }
    const QDateTime now = m_clock->now();
    QList<CalendarBackend::Event> upcoming;
    for (const CalendarBackend::Event& event : *events) {
        if (event.end >= now)
            upcoming.append(event);
    }
    std::stable_sort(upcoming.begin(), upcoming.end(),
                     [](const auto& a, const auto& b) { return a.start < b.start; });
    upcoming = upcoming.mid(0, eventLimit);
    m_joins.clear();
    QJsonArray entries;
    for (const CalendarBackend::Event& event : upcoming) {
        const QString id = event.identifier + QLatin1Char('-') + secondsText(event.start);
        if (const auto link = meetingURL(event.url, event.location, event.notes))
            m_joins.insert(id, *link);
        entries.append(
                QJsonObject{{QStringLiteral("id"), id},
                            {QStringLiteral("title"), orUntitled(event.title, "Untitled event")},
                            {QStringLiteral("calendar"), event.calendar},
                            {QStringLiteral("start"), double(event.start.toMSecsSinceEpoch())},
                            {QStringLiteral("end"), double(event.end.toMSecsSinceEpoch())},
                            {QStringLiteral("allDay"), event.allDay},
                            {QStringLiteral("joinable"), m_joins.contains(id)}});
    }
    m_calendarState = {{QStringLiteral("authorized"), true}, {QStringLiteral("events"), entries}};
}

void OrganizerService::applyReminders(
        const std::optional<QList<CalendarBackend::Reminder>>& reminders) {
    if (!reminders) {
        m_remindersState = unauthorized("items");
        return;
    }
    QList<CalendarBackend::Reminder> sorted = *reminders;
    // Undated reminders come last.
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        if (!a.due || !b.due)
            return a.due.has_value() && !b.due.has_value();
        return *a.due < *b.due;
    });
    QJsonArray items;
    for (const CalendarBackend::Reminder& reminder : sorted.mid(0, reminderLimit)) {
        items.append(QJsonObject{
                {QStringLiteral("id"), reminder.identifier},
                {QStringLiteral("title"), orUntitled(reminder.title, "Untitled reminder")},
                {QStringLiteral("list"), reminder.list},
                {QStringLiteral("due"),
                 reminder.due ? QJsonValue(double(reminder.due->toMSecsSinceEpoch()))
                              : QJsonValue(QJsonValue::Null)}});
    }
    m_remindersState = {{QStringLiteral("authorized"), true}, {QStringLiteral("items"), items}};
}

void OrganizerService::authorize(Kind kind, Done done) {
    m_backend->requestAccess(kind, this, [this, kind, done](bool granted) {
        if (!granted) {
            done(PlatformTexts::calendarUnavailable());
            return;
        }
        refresh(kind, [done] { done(std::nullopt); });
    });
}

void OrganizerService::join(const QString& eventID, Done done) {
    const auto link = m_joins.constFind(eventID);
    if (link == m_joins.cend()) {
        done(QStringLiteral("Meeting link is unavailable"));
        return;
    }
    m_openUrl(*link);
    done(std::nullopt);
}

void OrganizerService::complete(const QString& reminderID, Done done) {
    if (!m_remindersState.value(QStringLiteral("authorized")).toBool()) {
        done(QStringLiteral("Reminder is unavailable"));
        return;
    }
    m_backend->complete(reminderID, this,
                        [this, done](bool found, const std::optional<QString>& error) {
                            if (!found) {
                                done(QStringLiteral("Reminder is unavailable"));
                                return;
                            }
                            if (error) {
                                done(error);
                                return;
                            }
                            refresh(Kind::reminders, [done] { done(std::nullopt); });
                        });
}
