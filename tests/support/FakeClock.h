#pragma once

#include "model/Clock.h"

// A clock that stands still until the test moves it.
class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC))
        : m_now(start) {}

    QDateTime now() const override { return m_now; }
    double uptime() const override { return m_uptime; }
    double bootTime() const override { return m_uptime + m_asleep; }

    void advance(double seconds) {
        m_now = m_now.addMSecs(qint64(seconds * 1000));
        m_uptime += seconds;
    }
    // The wall clock is set (a time server's step): no time passes.
    void set(const QDateTime& now) { m_now = now; }
    // The computer sleeps: the wall clock and the time since boot go on, the uptime stands.
    void sleep(double seconds) {
        m_now = m_now.addMSecs(qint64(seconds * 1000));
        m_asleep += seconds;
    }

private:
    QDateTime m_now;
    double m_uptime = 1000;
    double m_asleep = 0;
};
