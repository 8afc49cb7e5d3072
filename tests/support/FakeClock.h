#pragma once

#include "model/Clock.h"

// A clock that stands still until the test moves it.
class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC))
        : m_now(start) {}

    QDateTime now() const override { return m_now; }
    double uptime() const override { return m_uptime; }

    void advance(double seconds) {
        m_now = m_now.addMSecs(qint64(seconds * 1000));
        m_uptime += seconds;
    }
    void set(const QDateTime& now) { m_now = now; }

private:
    QDateTime m_now;
    double m_uptime = 1000;
};
