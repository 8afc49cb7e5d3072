#pragma once

#include <QHash>
#include <QObject>
#include <functional>

class QTimer;

// Work that runs once, later, on the main thread. Injected so that tests decide when time passes.
class DelayedTasks {
public:
    using Task = std::function<void()>;
    using Handle = quint64; // 0 is never a task

    virtual ~DelayedTasks() = default;
    virtual Handle schedule(double seconds, Task task) = 0;
    // Does nothing for a task that already ran or was cancelled.
    virtual void cancel(Handle handle) = 0;
};

// Delayed tasks on precise timers of the event loop (a coarse timer may fire early, and a
// press-and-hold must not start before its time).
class TimerTasks : public QObject, public DelayedTasks {
public:
    Handle schedule(double seconds, Task task) override;
    void cancel(Handle handle) override;

private:
    QHash<Handle, QTimer*> m_timers;
    Handle m_next = 0;
};
