#include "ApplicationLog.h"

#include "model/LogText.h"
#include "model/linux/NoFollowFile.h"

#include <QDateTime>
#include <QDir>
#include <cstdio>

Q_LOGGING_CATEGORY(tabloraLog, "tablora", QtInfoMsg)

namespace {

ApplicationLog* installedLog = nullptr;
bool echoMessages = false;
QtMessageHandler previousHandler = nullptr;

QString levelPrefix(QtMsgType type) {
    switch (type) {
    case QtWarningMsg:
        return QStringLiteral("warning: ");
    case QtCriticalMsg:
        return QStringLiteral("error: ");
    case QtFatalMsg:
        return QStringLiteral("fatal: ");
    default:
        return {};
    }
}

QString categoryPrefix(const QString& category) {
    if (category.isEmpty() || category == QStringLiteral("default") ||
        category == QStringLiteral("tablora"))
        return {};
    return category + QStringLiteral(": ");
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QString category = QString::fromUtf8(context.category ? context.category : "");
    if (installedLog && (type != QtDebugMsg || echoMessages))
        installedLog->write(type, category, message);
    if (echoMessages || type == QtFatalMsg) {
        const QString line = categoryPrefix(category) + levelPrefix(type) +
                             LogText::entry(message) + QLatin1Char('\n');
        std::fputs(line.toLocal8Bit().constData(), stderr);
    }
}

} // namespace

ApplicationLog::ApplicationLog(const QString& directory, qint64 cap)
    : m_path(QDir(directory).filePath(QString::fromLatin1(fileName))), m_cap(cap) {}

ApplicationLog::~ApplicationLog() {
    if (!m_installed)
        return;
    qInstallMessageHandler(previousHandler);
    installedLog = nullptr;
}

void ApplicationLog::install(bool echo) {
    echoMessages = echo;
    installedLog = this;
    m_installed = true;
    previousHandler = qInstallMessageHandler(handleMessage);
}

void ApplicationLog::write(QtMsgType type, const QString& category, const QString& message) {
    const QString line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs) +
                         QLatin1Char(' ') + categoryPrefix(category) + levelPrefix(type) +
                         LogText::entry(message) + QLatin1Char('\n');

    const QMutexLocker locker(&m_mutex);
    QFile file;
    // A log that can't be written is no reason to stop: the message is dropped. So is one whose
    // place holds something else: a pipe would block the program, a link lead elsewhere.
    if (NoFollowFile::openLog(file, m_path, m_cap))
        file.write(line.toUtf8());
}
