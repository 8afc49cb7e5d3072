#include "TouchLog.h"

#include "model/LogText.h"
#include "model/linux/NoFollowFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TouchLog::TouchLog(QString path, std::shared_ptr<const Clock> clock)
    : m_path(std::move(path)), m_clock(std::move(clock)) {}

void TouchLog::write(const QString& message) const {
    if (m_path.isEmpty())
        return;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file;
    // Never through a link, nor into a pipe that would block the program.
    if (!NoFollowFile::openToAppend(file, m_path))
        return;
    if (file.size() > sizeLimit)
        file.resize(0);
    const QString line = m_clock->now().toUTC().toString(Qt::ISODate) + QLatin1Char(' ') +
                         LogText::entry(message) + '\n';
    file.write(line.toUtf8());
}
