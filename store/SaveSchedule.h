#pragma once

#include "model/Clock.h"
#include "touch/DelayedTasks.h"

#include <chrono>
#include <functional>
#include <memory>

// When a file that changes often is written: a little after its last change, and never later
// than a longest delay after the first unsaved one, so a widget writing all the time still gets
// its changes saved.
class SaveSchedule {
public:
    SaveSchedule(std::shared_ptr<DelayedTasks> tasks, std::shared_ptr<const Clock> clock,
                 std::chrono::milliseconds delay, std::chrono::milliseconds longestDelay,
                 std::function<void()> save);
    ~SaveSchedule();

    // Something changed that is not saved yet.
    void changed();
    // The file was just written: nothing is owed.
    void saved();
    bool pending() const { return m_pending != 0; }

private:
    std::shared_ptr<DelayedTasks> m_tasks;
    std::shared_ptr<const Clock> m_clock;
    double m_delay;
    double m_longestDelay;
    std::function<void()> m_save;
    DelayedTasks::Handle m_pending = 0;
    double m_unsavedSince = 0; // uptime of the first unsaved change
};
