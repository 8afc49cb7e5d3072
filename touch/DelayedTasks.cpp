#include "DelayedTasks.h"

#include <QTimer>
#include <cmath>

DelayedTasks::Handle TimerTasks::schedule(double seconds, Task task) {
    const Handle handle = ++m_next;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(int(std::max(0.0, std::ceil(seconds * 1000))));
    connect(timer, &QTimer::timeout, this, [this, handle, task = std::move(task)] {
        if (QTimer* done = m_timers.take(handle))
            done->deleteLater();
        task();
    });
    m_timers.insert(handle, timer);
    timer->start();
    return handle;
}

void TimerTasks::cancel(Handle handle) {
    if (QTimer* timer = m_timers.take(handle))
        delete timer;
}
