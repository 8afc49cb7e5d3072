#pragma once

#include <QtGlobal>
#include <limits>

// What one widget page may cost the dashboard in a second. The dashboard's process is shared by
// every widget, so a page's messages and requests are counted and what goes beyond its budget is
// refused unread. A page that keeps going beyond it, second after second, or tries for many times
// a budget in one second, is stopped.
namespace PageBudget {

constexpr int messagesPerSecond = 200;
// Characters of message text: two messages of the largest size, or a 100,000-byte note sent on
// every keystroke of a fast typist.
constexpr qint64 charactersPerSecond = 2'000'000;
// Requests of the page, its frames and its workers: a page loads its files in far fewer.
constexpr int requestsPerSecond = 100;
constexpr int runawayFactor = 10;
// Blob data a page holds at once, and one history state as JSON: both are kept in the
// dashboard's process, not the page's.
constexpr qint64 blobBytes = 64LL * 1024 * 1024;
constexpr int historyStateCharacters = 65'536;
// Seconds in a row over a budget that stop a page.
constexpr int runawaySeconds = 3;

} // namespace PageBudget

// One quantity counted against its budget over one-second windows.
class RateBudget {
public:
    enum class Verdict {
        within,
        over,    // refused for the rest of this second
        runaway, // over the budget for runawaySeconds in a row, or runawayFactor times over: stop
    };

    explicit RateBudget(qint64 perSecond) : m_perSecond(perSecond) {}

    // `amount` more at `nowMs` (a monotonic time in milliseconds).
    Verdict spend(qint64 amount, qint64 nowMs) {
        if (nowMs - m_windowStart >= 1000 || nowMs < m_windowStart) {
            const bool followsAnOverSecond = m_spent > m_perSecond && nowMs - m_windowStart < 2000;
            m_overSeconds = followsAnOverSecond ? m_overSeconds + 1 : 0;
            m_windowStart = nowMs;
            m_spent = 0;
        }
        m_spent += amount;
        if (m_spent <= m_perSecond)
            return Verdict::within;
        const bool runaway = m_spent >= m_perSecond * PageBudget::runawayFactor ||
                             m_overSeconds + 1 >= PageBudget::runawaySeconds;
        return runaway ? Verdict::runaway : Verdict::over;
    }
    void reset() { *this = RateBudget(m_perSecond); }

private:
    static constexpr qint64 never = std::numeric_limits<qint64>::min() / 2;

    qint64 m_perSecond;
    qint64 m_windowStart = never;
    qint64 m_spent = 0;
    int m_overSeconds = 0; // over the budget in the seconds just before this one
};
