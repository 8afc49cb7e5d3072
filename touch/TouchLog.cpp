#include "TouchLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TouchLog::TouchLog(QString path, std::shared_ptr<const Clock> clock)
    : m_path(std::move(path)), m_clock(std::move(clock)) {}

void TouchLog::write(const QString& message) const {
    if (m_path.isEmpty())
        return;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    const bool full = file.size() > sizeLimit;
    if (!file.open(QIODevice::WriteOnly | (full ? QIODevice::Truncate : QIODevice::Append)))
        return;
    const QString line =
            m_clock->now().toUTC().toString(Qt::ISODate) + QLatin1Char(' ') + message + '\n';
    file.write(line.toUtf8());
}
