#include "WidgetLog.h"

#include "model/LogText.h"
#include "model/linux/NoFollowFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <atomic>
#include <cstdio>

namespace {

std::atomic<bool> echoLines = false;

} // namespace

WidgetLog::WidgetLog(const QString& dataDirectory, const QString& instanceKey, qint64 cap)
    : m_path(QDir(dataDirectory)
                     .filePath(QLatin1String(folderName) + QLatin1Char('/') +
                               fileName(instanceKey))),
      m_instanceKey(instanceKey), m_cap(cap) {}

void WidgetLog::setEcho(bool echo) {
    echoLines = echo;
}

QString WidgetLog::fileName(const QString& instanceKey) {
    QString name = instanceKey;
    for (QChar& c : name) {
        const bool kept = (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('.') ||
                          c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char('@');
        if (!kept)
            c = QLatin1Char('_');
    }
    // Never hidden, never "." or "..".
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QLatin1Char('_'));
    return name + QStringLiteral(".log");
}

QString WidgetLog::consoleLine(Level level, const QString& message, int line,
                               const QString& source) {
    // Package files by their path in the package; the SDK's by its path under /_tarn/.
    // The SDK injected into the page has no file of its own.
    const QUrl url(source);
    QString where = url.scheme() == QStringLiteral("tarn-widget") ? url.path().mid(1) : source;
    if (where.isEmpty() || where.startsWith(QStringLiteral("userscript:")))
        where = QStringLiteral("(widget SDK)");
    else if (line > 0)
        where += QLatin1Char(':') + QString::number(line);
    static const char* const names[] = {"debug", "info", "warning", "error"};
    return where + QStringLiteral(": ") + QLatin1String(names[int(level)]) + QStringLiteral(": ") +
           message;
}

void WidgetLog::write(const QString& line) {
    if (!m_second.isValid() || m_second.elapsed() >= 1000) {
        if (m_dropped > 0)
            append(QStringLiteral("(%1 more lines in that second were not logged)").arg(m_dropped));
        m_second.start();
        m_linesThisSecond = 0;
        m_dropped = 0;
    }
    if (++m_linesThisSecond > linesPerSecond) {
        ++m_dropped;
        return;
    }
    append(line);
}

void WidgetLog::append(const QString& line) {
    const QString text = LogText::entry(line);
    if (echoLines)
        std::fputs((m_instanceKey + QStringLiteral(": ") + text + QLatin1Char('\n'))
                           .toLocal8Bit()
                           .constData(),
                   stderr);
    QDir().mkpath(QFileInfo(m_path).path());
    QFile file;
    // A log that can't be written is no reason to stop: the line is dropped. So is one whose place
    // holds something else: a pipe would block the dashboard, a link lead elsewhere.
    if (NoFollowFile::openLog(file, m_path, m_cap))
        file.write((QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + QLatin1Char(' ') +
                    text + QLatin1Char('\n'))
                           .toUtf8());
}
