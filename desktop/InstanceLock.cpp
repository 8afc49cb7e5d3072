#include "InstanceLock.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>
#include <unistd.h>

namespace {

// Who took a lock, as its file says.
struct Owner {
    qint64 process = 0;
    QString host;
    QString program;
};

std::optional<Owner> ownerOf(const QLockFile& lock) {
    Owner owner;
    if (!lock.getLockInfo(&owner.process, &owner.host, &owner.program))
        return std::nullopt;
    return owner;
}

// Whether the owner is a process of this computer that still runs the program that took the lock
// (a process number is used again once its process ends).
bool runsHere(const Owner& owner) {
    if (!owner.host.isEmpty() && owner.host != QSysInfo::machineHostName())
        return false;
    QString executable =
            QFileInfo(QStringLiteral("/proc/%1/exe").arg(owner.process)).symLinkTarget();
    executable.remove(QStringLiteral(" (deleted)"));
    return !executable.isEmpty() && QFileInfo(executable).fileName() == owner.program;
}

QString takeOverLine(const QString& path, const std::optional<Owner>& owner) {
    if (!owner)
        return QStringLiteral("The data folder’s lock %1 couldn’t be read: taken over").arg(path);
    return QStringLiteral("The data folder’s lock %1 named process %2 (%3) on %4, which is no "
                          "Tablora running on this computer: taken over")
            .arg(path)
            .arg(owner->process)
            .arg(owner->program, owner->host);
}

} // namespace

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
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (const std::optional<State> state = tryOnce(attempt == 0))
            return *state;
    }
    m_failure = QStringLiteral("the lock file %1 can’t be read").arg(path());
    return State::foreign;
}

std::optional<InstanceLock::State> InstanceLock::tryOnce(bool firstTry) {
    // Qt itself takes over the lock of a process that is gone: said in the log all the same.
    const bool found = QFileInfo(path()).exists();
    const std::optional<Owner> before = found ? ownerOf(m_lock) : std::nullopt;
    if (m_lock.tryLock(0)) {
        if (found && m_takenOver.isEmpty() && !(before && runsHere(*before)))
            m_takenOver = takeOverLine(path(), before);
        return State::held;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        m_failure = QStringLiteral("can’t write the lock file %1").arg(path());
        return State::unavailable;
    }
    if (ownedByAnotherUser())
        return State::foreign;
    const std::optional<Owner> owner = ownerOf(m_lock);
    if (owner && runsHere(*owner)) {
        m_owner = owner->process;
        return State::heldElsewhere;
    }
    // Its owner may be writing it this very moment: look once more before taking it.
    if (!owner && firstTry) {
        QThread::msleep(50);
        return std::nullopt;
    }
    // Removing it needs the lock its owner keeps while it lives, so a live owner keeps it.
    if (m_lock.removeStaleLockFile()) {
        m_takenOver = takeOverLine(path(), owner);
        return std::nullopt;
    }
    if (owner) {
        m_owner = owner->process;
        return State::heldElsewhere;
    }
    return std::nullopt;
}

InstanceLock::State InstanceLock::look() {
    const QFileInfo file(path());
    if (!file.exists() && !file.isSymLink())
        return State::free;
    if (ownedByAnotherUser())
        return State::foreign;
    const std::optional<Owner> owner = ownerOf(m_lock);
    if (!owner || !runsHere(*owner))
        return State::free;
    m_owner = owner->process;
    return State::heldElsewhere;
}

bool InstanceLock::ownedByAnotherUser() {
    const QFileInfo file(path());
    if (!file.exists() || file.ownerId() == ::getuid())
        return false;
    m_failure = QStringLiteral("the data folder’s lock %1 belongs to another user; "
                               "if none of their programs uses this folder, remove it")
                        .arg(path());
    return true;
}
