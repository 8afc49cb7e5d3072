#include "LibgitRepositoryReader.h"

#include <QFile>
#include <git2.h>
#include <memory>

namespace {

template <typename T, void (*Free)(T*)> struct Freer {
    void operator()(T* object) const { Free(object); }
};
using Repository = std::unique_ptr<git_repository, Freer<git_repository, git_repository_free>>;
using Reference = std::unique_ptr<git_reference, Freer<git_reference, git_reference_free>>;
using Commit = std::unique_ptr<git_commit, Freer<git_commit, git_commit_free>>;
using StatusList = std::unique_ptr<git_status_list, Freer<git_status_list, git_status_list_free>>;

// As `git rev-parse --abbrev-ref HEAD`: the branch, "HEAD" when detached, nothing when unborn.
std::optional<QString> branchOf(git_repository* repository, git_reference* head) {
    if (git_repository_head_detached(repository) == 1)
        return QStringLiteral("HEAD");
    return QString::fromUtf8(git_reference_shorthand(head));
}

// As `git status --porcelain=v1`: staged renames count once, untracked folders once, ignored
// files not at all.
std::optional<int> changesOf(git_repository* repository) {
    git_status_options options = GIT_STATUS_OPTIONS_INIT;
    options.show = GIT_STATUS_SHOW_INDEX_AND_WORKDIR;
    options.flags = GIT_STATUS_OPT_INCLUDE_UNTRACKED | GIT_STATUS_OPT_RENAMES_HEAD_TO_INDEX;
    git_status_list* list = nullptr;
    if (git_status_list_new(&list, repository, &options) != 0)
        return std::nullopt;
    const StatusList owned(list);
    return int(git_status_list_entrycount(list));
}

// As `git log -1 --format=%h %s`.
std::optional<QString> commitOf(git_reference* head) {
    git_object* peeled = nullptr;
    if (git_reference_peel(&peeled, head, GIT_OBJECT_COMMIT) != 0)
        return std::nullopt;
    const Commit commit(reinterpret_cast<git_commit*>(peeled));
    git_buf hash = GIT_BUF_INIT;
    if (git_object_short_id(&hash, peeled) != 0)
        return std::nullopt;
    const QString text = QString::fromUtf8(hash.ptr, qsizetype(hash.size));
    git_buf_dispose(&hash);
    const char* summary = git_commit_summary(commit.get());
    return text + QLatin1Char(' ') + QString::fromUtf8(summary ? summary : "");
}

} // namespace

LibgitRepositoryReader::LibgitRepositoryReader() {
    // Once per process; the library stays initialised for its lifetime.
    static const int initialised = git_libgit2_init();
    Q_UNUSED(initialised);
}

std::optional<RepositoryState> LibgitRepositoryReader::read(const QString& path) {
    git_repository* opened = nullptr;
    if (git_repository_open_ext(&opened, QFile::encodeName(path).constData(), 0, nullptr) != 0)
        return std::nullopt;
    const Repository repository(opened);
    git_reference* found = nullptr;
    if (git_repository_head(&found, opened) != 0)
        return std::nullopt;
    const Reference head(found);
    const auto branch = branchOf(opened, found);
    const auto changes = changesOf(opened);
    const auto commit = commitOf(found);
    if (!branch || !changes || !commit)
        return std::nullopt;
    return RepositoryState{*branch, *changes, *commit};
}
