#include "ApplicationLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QString category = QString::fromUtf8(context.category ? context.category : "");
    if (installedLog && (type != QtDebugMsg || echoMessages))
        installedLog->write(type, category, message);
    if (echoMessages || type == QtFatalMsg) {
        const QString line = (category.isEmpty() || category == QStringLiteral("default") ||
                                              category == QStringLiteral("tablora")
                                      ? QString()
                                      : category + QStringLiteral(": ")) +
                             levelPrefix(type) + message + QLatin1Char('\n');
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
    QString line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + QLatin1Char(' ');
    if (!category.isEmpty() && category != QStringLiteral("default") &&
        category != QStringLiteral("tablora"))
        line += category + QStringLiteral(": ");
    // One message, one entry: the lines of a longer one are indented under its first.
    QString text = message.trimmed();
    text.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
    line += levelPrefix(type) + text + QLatin1Char('\n');

    const QMutexLocker locker(&m_mutex);
    // Something else in the log's place (a pipe would block the program): nothing is written.
    const QFileInfo existing(m_path);
    if (existing.exists() && !existing.isFile())
        return;
    rotateIfFull();
    QFile file(m_path);
    // A log that can't be written is no reason to stop: the message is dropped.
    if (file.open(QIODevice::Append | QIODevice::WriteOnly))
        file.write(line.toUtf8());
}

void ApplicationLog::rotateIfFull() {
    const QFileInfo file(m_path);
    if (!file.exists() || file.size() < m_cap)
        return;
    const QString previous = m_path + QStringLiteral(".1");
    QFile::remove(previous);
    QFile::rename(m_path, previous);
}
