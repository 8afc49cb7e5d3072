#include "ApplicationPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ApplicationPaths {

QString dataDirectory() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
            .filePath(QStringLiteral("Tarn"));
}

QString resourcesDirectory() {
    if (QCoreApplication::instance()) {
        const QString installed = QDir(QCoreApplication::applicationDirPath())
                                          .filePath(QStringLiteral("../share/tablora"));
        if (QFileInfo(installed).isDir())
            return QDir::cleanPath(installed);
    }
    return QStringLiteral(TABLORA_SOURCE_RESOURCES);
}

} // namespace ApplicationPaths
