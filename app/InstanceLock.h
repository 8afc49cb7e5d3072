#pragma once

#include <QLockFile>
#include <QString>

// One dashboard per data folder: a lock file in the folder, held for the whole run, so two
// programs never save over each other's changes. A lock left by a run that crashed (its process
// is gone) is taken over.
class InstanceLock {
public:
    enum class State {
        held,          // this process holds it
        heldElsewhere, // a running process holds it: owner() tells which
        foreign,       // another user's lock: failure() says so
        unavailable,   // the folder takes no lock file (read-only, full): failure() says why
    };

    static constexpr const char* fileName = "tablora.lock";

    explicit InstanceLock(const QString& directory);

    State acquire();
    // The process holding the lock elsewhere; 0 when it can't be told.
    qint64 owner() const { return m_owner; }
    QString failure() const { return m_failure; }
    QString path() const { return m_lock.fileName(); }

private:
    QString m_directory;
    QLockFile m_lock;
    qint64 m_owner = 0;
    QString m_failure;
};
