#pragma once

#include <QString>
#include <optional>

// The file operations of installing and removing packages. Each returns the reason on failure.
// Tests replace single operations to make them fail at a chosen moment.
class PackageFolders {
public:
    virtual ~PackageFolders() = default;

    // Copies a folder tree without following links; a link or more than the package limits
    // stops the copy.
    virtual std::optional<QString> copy(const QString& from, const QString& to);
    // Renames within one file system, so the destination appears whole or not at all.
    virtual std::optional<QString> move(const QString& from, const QString& to);
    virtual std::optional<QString> remove(const QString& path);
};
