// GLib's headers come before Qt's, and Qt's keywords stay off here: gio uses "signals" itself.
#include "EdsCalendarBackend.h"

#include "integrations/Background.h"

#include <libecal/libecal.h>
#include <memory>

namespace {

template <typename T> struct GObjectDeleter {
    void operator()(T* object) const {
        if (object)
            g_object_unref(object);
    }
};
template <typename T> using GObjectPointer = std::unique_ptr<T, GObjectDeleter<T>>;

// The calendar library hands its callbacks to the main context of the thread that made its
// objects, and they hold references to the registry. A pool thread never runs its context, so the
// registry of every refresh stayed alive with its own thread's context: two descriptors a refresh,
// for as long as the dashboard ran. Each piece of work gets a context of its own instead, run dry
// once the registry and its clients are let go of.
class OwnMainContext {
public:
    OwnMainContext() : m_context(g_main_context_new()) {
        g_main_context_push_thread_default(m_context);
    }
    ~OwnMainContext() {
        while (g_main_context_iteration(m_context, FALSE)) {
        }
        g_main_context_pop_thread_default(m_context);
        g_main_context_unref(m_context);
    }
    OwnMainContext(const OwnMainContext&) = delete;
    OwnMainContext& operator=(const OwnMainContext&) = delete;

private:
    GMainContext* m_context;
};

// Runs calendar work with a context of its own, ended only after what the work made is gone.
template <typename Work> auto withOwnContext(Work work) {
    return [work = std::move(work)] {
        OwnMainContext context;
        return work();
    };
}

QString text(const gchar* value) {
    return value ? QString::fromUtf8(value) : QString();
}

// The registry of calendar sources; nothing when the service does not answer.
GObjectPointer<ESourceRegistry> openRegistry() {
    GError* error = nullptr;
    ESourceRegistry* registry = e_source_registry_new_sync(nullptr, &error);
    g_clear_error(&error);
    return GObjectPointer<ESourceRegistry>(registry);
}

// Every enabled source of a kind, with a connected client each; sources that fail are skipped.
template <typename Visit>
void forEachClient(ESourceRegistry* registry, const char* extension, ECalClientSourceType type,
                   Visit visit) {
    GList* sources = e_source_registry_list_enabled(registry, extension);
    for (GList* item = sources; item; item = item->next) {
        auto* source = static_cast<ESource*>(item->data);
        GError* error = nullptr;
        // (guint32)-1: do not wait for remote calendars to come online.
        EClient* client = e_cal_client_connect_sync(source, type, guint32(-1), nullptr, &error);
        g_clear_error(&error);
        if (!client)
            continue;
        GObjectPointer<EClient> owned(client);
        if (!visit(E_CAL_CLIENT(client), text(e_source_get_display_name(source))))
            break;
    }
    g_list_free_full(sources, g_object_unref);
}

QDateTime toDateTime(ICalTime* time, ICalTimezone* fallbackZone) {
    ICalTimezone* zone = i_cal_time_get_timezone(time);
    if (!zone)
        zone = i_cal_time_is_utc(time) ? i_cal_timezone_get_utc_timezone() : fallbackZone;
    return QDateTime::fromSecsSinceEpoch(qint64(i_cal_time_as_timet_with_zone(time, zone)),
                                         Qt::UTC);
}

struct InstanceCollector {
    QString calendar;
    QList<CalendarBackend::Event>* events;
};

gboolean collectInstance(ICalComponent* component, ICalTime* start, ICalTime* end, gpointer data,
                         GCancellable*, GError**) {
    auto* collector = static_cast<InstanceCollector*>(data);
    // The server stores events without a start; they have no place on a timeline.
    if (!start || i_cal_time_is_null_time(start) || !i_cal_time_is_valid_time(start))
        return TRUE;
    ICalTimezone* local = e_cal_util_get_system_timezone();
    CalendarBackend::Event event;
    event.identifier = text(i_cal_component_get_uid(component));
    event.title = text(i_cal_component_get_summary(component));
    event.calendar = collector->calendar;
    event.start = toDateTime(start, local);
    event.end = end && !i_cal_time_is_null_time(end) ? toDateTime(end, local) : event.start;
    event.allDay = i_cal_time_is_date(start);
    event.location = text(i_cal_component_get_location(component));
    event.notes = text(i_cal_component_get_description(component));
    if (ICalProperty* url = i_cal_component_get_first_property(component, I_CAL_URL_PROPERTY)) {
        event.url = text(i_cal_property_get_url(url));
        g_object_unref(url);
    }
    collector->events->append(event);
    return TRUE;
}

std::optional<QList<CalendarBackend::Event>> fetchEvents(qint64 from, qint64 to) {
    const auto registry = openRegistry();
    if (!registry)
        return std::nullopt;
    QList<CalendarBackend::Event> events;
    forEachClient(registry.get(), E_SOURCE_EXTENSION_CALENDAR, E_CAL_CLIENT_SOURCE_TYPE_EVENTS,
                  [&](ECalClient* client, const QString& calendar) {
                      // Floating times are the user's local time.
                      e_cal_client_set_default_timezone(client, e_cal_util_get_system_timezone());
                      InstanceCollector collector{calendar, &events};
                      e_cal_client_generate_instances_sync(client, time_t(from), time_t(to),
                                                           nullptr, collectInstance, &collector);
                      return true;
                  });
    return events;
}

std::optional<QDateTime> dueDate(ECalClient* client, ECalComponent* task) {
    ECalComponentDateTime* due = e_cal_component_get_due(task);
    if (!due)
        return std::nullopt;
    ICalTimezone* zone = e_cal_util_get_system_timezone();
    if (const gchar* tzid = e_cal_component_datetime_get_tzid(due)) {
        ICalTimezone* named = nullptr;
        GError* error = nullptr;
        if (e_cal_client_get_timezone_sync(client, tzid, &named, nullptr, &error) && named)
            zone = named;
        g_clear_error(&error);
    }
    const QDateTime date = toDateTime(e_cal_component_datetime_get_value(due), zone);
    e_cal_component_datetime_free(due);
    return date;
}

std::optional<QList<CalendarBackend::Reminder>> fetchReminders() {
    const auto registry = openRegistry();
    if (!registry)
        return std::nullopt;
    QList<CalendarBackend::Reminder> reminders;
    forEachClient(registry.get(), E_SOURCE_EXTENSION_TASK_LIST, E_CAL_CLIENT_SOURCE_TYPE_TASKS,
                  [&](ECalClient* client, const QString& list) {
                      GSList* tasks = nullptr;
                      GError* error = nullptr;
                      if (e_cal_client_get_object_list_as_comps_sync(
                                  client, "(not (is-completed?))", &tasks, nullptr, &error)) {
                          for (GSList* item = tasks; item; item = item->next) {
                              auto* task = static_cast<ECalComponent*>(item->data);
                              CalendarBackend::Reminder reminder;
                              reminder.identifier = text(e_cal_component_get_uid(task));
                              if (ECalComponentText* summary = e_cal_component_get_summary(task)) {
                                  reminder.title = text(e_cal_component_text_get_value(summary));
                                  e_cal_component_text_free(summary);
                              }
                              reminder.list = list;
                              reminder.due = dueDate(client, task);
                              reminders.append(reminder);
                          }
                          g_slist_free_full(tasks, g_object_unref);
                      }
                      g_clear_error(&error);
                      return true;
                  });
    return reminders;
}

struct Completion {
    bool found = false;
    std::optional<QString> error;
};

void markCompleted(ICalComponent* task) {
    i_cal_component_set_status(task, I_CAL_STATUS_COMPLETED);
    if (ICalProperty* percent =
                i_cal_component_get_first_property(task, I_CAL_PERCENTCOMPLETE_PROPERTY)) {
        i_cal_property_set_percentcomplete(percent, 100);
        g_object_unref(percent);
    } else {
        i_cal_component_take_property(task, i_cal_property_new_percentcomplete(100));
    }
    ICalTime* now = i_cal_time_new_current_with_zone(i_cal_timezone_get_utc_timezone());
    if (ICalProperty* completed =
                i_cal_component_get_first_property(task, I_CAL_COMPLETED_PROPERTY)) {
        i_cal_property_set_completed(completed, now);
        g_object_unref(completed);
    } else {
        i_cal_component_take_property(task, i_cal_property_new_completed(now));
    }
    g_object_unref(now);
}

Completion completeTask(const QByteArray& uid) {
    const auto registry = openRegistry();
    Completion outcome;
    if (!registry)
        return outcome;
    forEachClient(
            registry.get(), E_SOURCE_EXTENSION_TASK_LIST, E_CAL_CLIENT_SOURCE_TYPE_TASKS,
            [&](ECalClient* client, const QString&) {
                ICalComponent* task = nullptr;
                GError* error = nullptr;
                if (!e_cal_client_get_object_sync(client, uid.constData(), nullptr, &task, nullptr,
                                                  &error) ||
                    !task) {
                    g_clear_error(&error);
                    return true; // not in this list
                }
                outcome.found = true;
                markCompleted(task);
                if (!e_cal_client_modify_object_sync(client, task, E_CAL_OBJ_MOD_ALL,
                                                     E_CAL_OPERATION_FLAG_NONE, nullptr, &error))
                    outcome.error = text(error ? error->message : "The task could not be saved");
                g_clear_error(&error);
                g_object_unref(task);
                return false;
            });
    return outcome;
}

} // namespace

void EdsCalendarBackend::requestAccess(Kind, QObject* receiver,
                                       std::function<void(bool granted)> done) {
    runInBackground(receiver, withOwnContext([] { return openRegistry() != nullptr; }),
                    std::move(done));
}

void EdsCalendarBackend::events(const QDateTime& from, const QDateTime& to, QObject* receiver,
                                Answer<QList<Event>> done) {
    const qint64 start = from.toSecsSinceEpoch();
    const qint64 end = to.toSecsSinceEpoch();
    runInBackground(receiver, withOwnContext([start, end] { return fetchEvents(start, end); }),
                    std::move(done));
}

void EdsCalendarBackend::reminders(QObject* receiver, Answer<QList<Reminder>> done) {
    runInBackground(receiver, withOwnContext([] { return fetchReminders(); }), std::move(done));
}

void EdsCalendarBackend::complete(
        const QString& identifier, QObject* receiver,
        std::function<void(bool found, const std::optional<QString>& error)> done) {
    const QByteArray uid = identifier.toUtf8();
    runInBackground(receiver, withOwnContext([uid] { return completeTask(uid); }),
                    [done](const Completion& outcome) { done(outcome.found, outcome.error); });
}
