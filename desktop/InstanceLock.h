#pragma once

#include <QLockFile>
#include <QString>
#include <optional>

// One dashboard per data folder: a lock file in the folder, held for the whole run, so two
// programs never save over each other's changes. Only a dashboard takes it; a command only looks
// whether a dashboard holds it. A lock that can't be read, or whose owner is not a Tablora running
// on this computer (a run that crashed, a lock from another machine), is taken over.
class InstanceLock {
public:
    enum class State {
        held,          // this process holds it
        heldElsewhere, // a running process holds it: owner() tells which
        free,          // nobody holds it, and this process did not take it (look() only)
        foreign,       // another user's lock, or one that can't be read: failure() says so
        unavailable,   // the folder takes no lock file (read-only, full): failure() says why
    };

    static constexpr const char* fileName = "tablora.lock";

    explicit InstanceLock(const QString& directory);

    // Takes the lock, for a dashboard.
    State acquire();
    // Tells whether a dashboard holds the lock, without ever taking it: for a command.
    State look();
    // The process holding the lock elsewhere; 0 when it can't be told.
    qint64 owner() const { return m_owner; }
    QString failure() const { return m_failure; }
    // What acquire() found and took over, in a line for the log; empty when nothing.
    QString takenOver() const { return m_takenOver; }
    QString path() const { return m_lock.fileName(); }

private:
    // One try at the lock: what came of it, or nothing when another try is worth it.
    std::optional<State> tryOnce(bool firstTry);
    bool ownedByAnotherUser();

    QString m_directory;
    QLockFile m_lock;
    qint64 m_owner = 0;
    QString m_failure;
    QString m_takenOver;
};
