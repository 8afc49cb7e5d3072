#pragma once

#include "model/Clock.h"

#include <QString>
#include <memory>

// "touch.log": one line per decision of direct touch, an ISO 8601 time, a space and the message,
// cut to a bounded length and with its control characters escaped. Emptied once it grows past
// 200,000 bytes. File errors are ignored.
class TouchLog {
public:
    static constexpr qint64 sizeLimit = 200000;

    TouchLog(QString path, std::shared_ptr<const Clock> clock);
    void write(const QString& message) const;
    QString path() const { return m_path; }

private:
    QString m_path;
    std::shared_ptr<const Clock> m_clock;
};
