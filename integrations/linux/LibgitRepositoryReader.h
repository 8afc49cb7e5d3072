#pragma once

#include "integrations/RepositoryReader.h"

// Reads repositories through libgit2, in this process: it never starts a program, so a
// repository's configuration cannot choose one, and a refresh costs no process.
class LibgitRepositoryReader : public RepositoryReader {
public:
    LibgitRepositoryReader();
    std::optional<RepositoryState> read(const QString& path) override;
};
