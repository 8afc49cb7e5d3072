#include "InstanceLock.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

InstanceLock::InstanceLock(const QString& directory)
    : m_directory(directory), m_lock(QDir(directory).filePath(QString::fromLatin1(fileName))) {
    // Held for the whole run: only a lock whose process is gone is stale, never an old one.
    m_lock.setStaleLockTime(0);
}

InstanceLock::State InstanceLock::acquire() {
    if (!QDir().mkpath(m_directory)) {
        m_failure = QStringLiteral("can’t create the data folder %1").arg(m_directory);
        return State::unavailable;
    }
    // A lock removed between the failed attempt and reading it: try once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_lock.tryLock(0))
            return State::held;
        if (m_lock.error() != QLockFile::LockFailedError) {
            m_failure = QStringLiteral("can’t write the lock file %1").arg(path());
            return State::unavailable;
        }
        const QFileInfo file(path());
        if (file.exists() && file.ownerId() != ::getuid()) {
            m_failure = QStringLiteral("the data folder’s lock %1 belongs to another user; "
                                       "if none of their programs uses this folder, remove it")
                                .arg(path());
            return State::foreign;
        }
        if (m_lock.getLockInfo(&m_owner, nullptr, nullptr))
            return State::heldElsewhere;
    }
    m_failure = QStringLiteral("the lock file %1 can’t be read").arg(path());
    return State::foreign;
}
