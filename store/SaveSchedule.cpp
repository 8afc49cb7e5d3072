#include "store/SaveSchedule.h"

#include <algorithm>

SaveSchedule::SaveSchedule(std::shared_ptr<DelayedTasks> tasks, std::shared_ptr<const Clock> clock,
                           std::chrono::milliseconds delay, std::chrono::milliseconds longestDelay,
                           std::function<void()> save)
    : m_tasks(std::move(tasks)), m_clock(std::move(clock)), m_delay(delay.count() / 1000.0),
      m_longestDelay(std::max(longestDelay, delay).count() / 1000.0), m_save(std::move(save)) {}

SaveSchedule::~SaveSchedule() {
    saved();
}

void SaveSchedule::changed() {
    const double now = m_clock->uptime();
    if (m_pending)
        m_tasks->cancel(m_pending);
    else
        m_unsavedSince = now;
    const double left = m_unsavedSince + m_longestDelay - now;
    m_pending = m_tasks->schedule(std::clamp(left, 0.0, m_delay), [this] {
        m_pending = 0;
        m_save();
    });
}

void SaveSchedule::saved() {
    if (m_pending)
        m_tasks->cancel(m_pending);
    m_pending = 0;
}
