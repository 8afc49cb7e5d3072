#pragma once

#include "support/FakeClock.h"
#include "touch/DelayedTasks.h"

#include <map>
#include <memory>

// Delayed tasks that run only when the test moves the fake clock on.
class ManualTasks : public DelayedTasks {
public:
    explicit ManualTasks(std::shared_ptr<FakeClock> clock) : m_clock(std::move(clock)) {}

    Handle schedule(double seconds, Task task) override {
        const Handle handle = ++m_next;
        m_tasks.emplace(std::make_pair(m_clock->uptime() + seconds, handle), std::move(task));
        return handle;
    }

    void cancel(Handle handle) override {
        std::erase_if(m_tasks, [&](const auto& entry) { return entry.first.second == handle; });
    }

    // Moves time on, running every task that falls due on the way, each at its own time.
    void advance(double seconds) {
        const double target = m_clock->uptime() + seconds;
        while (!m_tasks.empty() && m_tasks.begin()->first.first <= target) {
            auto first = m_tasks.begin();
            m_clock->advance(first->first.first - m_clock->uptime());
            Task task = std::move(first->second);
            m_tasks.erase(first);
            task();
        }
        m_clock->advance(target - m_clock->uptime());
    }

    size_t pending() const { return m_tasks.size(); }

private:
    std::shared_ptr<FakeClock> m_clock;
    std::map<std::pair<double, Handle>, Task> m_tasks; // by due time, then by order
    Handle m_next = 0;
};
