#pragma once

#include <QLoggingCategory>
#include <QMutex>
#include <QString>

// The application's own messages: what it decided at start-up and what went wrong since.
Q_DECLARE_LOGGING_CATEGORY(tabloraLog)

// The application's log, "tablora.log" in the data folder: one line per message, an ISO 8601 time
// stamp, a space and the message (warnings say so), cut to a bounded length and with its control
// characters escaped. At the size cap the file starts afresh and the previous one stays as
// "tablora.log.1". Takes every message of the program once installed.
class ApplicationLog {
public:
    static constexpr const char* fileName = "tablora.log";
    static constexpr qint64 sizeCap = 1'000'000;

    explicit ApplicationLog(const QString& directory, qint64 cap = sizeCap);
    ~ApplicationLog();

    QString path() const { return m_path; }
    // From any thread.
    void write(QtMsgType type, const QString& category, const QString& message);
    // Receives the program's messages from now on; `echo` also prints them on standard error.
    void install(bool echo);

private:
    QMutex m_mutex;
    QString m_path;
    qint64 m_cap;
    bool m_installed = false;
};
