#pragma once

#include <QElapsedTimer>
#include <QString>

// One placed widget's own log, for its author: what its page wrote to the console, its uncaught
// errors and the commands the dashboard refused, one line each with an ISO 8601 time stamp, cut to
// a bounded length and with its control characters escaped.
// It lives in the data folder's "WidgetLogs", one file per instance; at the size cap it starts
// afresh and keeps the previous one beside it as ".1".
class WidgetLog {
public:
    static constexpr const char* folderName = "WidgetLogs";
    static constexpr qint64 sizeCap = 200'000;
    // A page that writes more than this in a second has the rest counted, not written.
    static constexpr int linesPerSecond = 50;

    WidgetLog(const QString& dataDirectory, const QString& instanceKey, qint64 cap = sizeCap);

    const QString& path() const { return m_path; }
    const QString& instanceKey() const { return m_instanceKey; }
    void write(const QString& line);

    // Also print every line on standard error, after the instance key (the dashboard's
    // --verbose).
    static void setEcho(bool echo);

    // The file of one instance: its key with anything but letters, digits, ".", "-", "_" and
    // "@" replaced, so no key can name a path elsewhere.
    static QString fileName(const QString& instanceKey);

    enum class Level { debug, info, warning, error };
    // A console message as a line: where it came from ("widget.js:12"), its level and text.
    static QString consoleLine(Level level, const QString& message, int line,
                               const QString& source);

private:
    void append(const QString& line);

    QString m_path;
    QString m_instanceKey;
    qint64 m_cap;
    QElapsedTimer m_second;
    int m_linesThisSecond = 0;
    int m_dropped = 0;
};
