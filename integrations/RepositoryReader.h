#pragma once

#include <QString>
#include <optional>

// What a project widget shows of a Git repository.
struct RepositoryState {
    QString branch; // the branch's short name, "HEAD" when detached
    int changes = 0;
    QString commit; // the last commit's short hash, a space and its subject
};

// Reads a repository's state without running anything the repository's configuration names
// (filters, fsmonitor, hooks, pagers, diff or signature programs, helpers).
class RepositoryReader {
public:
    virtual ~RepositoryReader() = default;
    // Called off the main thread. Nothing for a folder that is no repository, an unborn branch
    // or a read that failed.
    virtual std::optional<RepositoryState> read(const QString& path) = 0;
};
