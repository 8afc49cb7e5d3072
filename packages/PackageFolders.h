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
    // Moves a package into the desktop's trash (the freedesktop one under $XDG_DATA_HOME, or the
    // trash of the disk the package is on), with the note a file manager restores it from; never
    // copies it across disks. Sets `trashed` to its place in the trash.
    virtual std::optional<QString> moveToTrash(const QString& path, QString& trashed);
};
