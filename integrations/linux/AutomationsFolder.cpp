#include "AutomationsFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

AutomationsFolder::AutomationsFolder(QString folder) : m_folder(std::move(folder)) {}

QString AutomationsFolder::defaultFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath(QStringLiteral("tablora/automations"));
}

void AutomationsFolder::list(double, QObject* receiver, ServiceProcess::Completion completion) {
    const QFileInfo folder(m_folder);
    ProcessResult result;
    if (!folder.exists()) {
        result = ProcessResult::success({}); // nothing set up yet: an empty list
    } else if (!folder.isDir() || !folder.isReadable()) {
        result = ProcessResult::failure(m_folder + QStringLiteral(": not a readable folder"));
    } else {
        QStringList names;
        for (const QFileInfo& entry :
             QDir(m_folder).entryInfoList(QDir::Files | QDir::Executable)) {
            if (!entry.fileName().contains(QLatin1Char('\n')))
                names.append(entry.fileName());
        }
        result = ProcessResult::success(names.join(QLatin1Char('\n')));
    }
    // Answers like a program would: later, from the event loop.
    QTimer::singleShot(0, receiver, [completion, result] { completion(result); });
}

void AutomationsFolder::run(const QString& name, double timeoutSeconds, QObject* receiver,
                            ServiceProcess::Completion completion) {
    ServiceProcess::run(QDir(m_folder).filePath(name), {}, timeoutSeconds, receiver,
                        std::move(completion));
}
