#pragma once

#include <QString>
#include <functional>
#include <optional>

// Lets the user pick one folder or one file; the answer comes later, nothing when cancelled.
class FolderChooser {
public:
    using Completion = std::function<void(const std::optional<QString>& path)>;

    virtual ~FolderChooser() = default;
    virtual void choose(const QString& title, bool files, Completion completion) = 0;
};
