#pragma once

#include <QString>
#include <functional>
#include <optional>

// Finds and opens the applications of launcher shortcuts.
class AppLauncher {
public:
    // Called once with the error text when opening failed, or with nothing on success.
    using Completion = std::function<void(const std::optional<QString>& error)>;

    // What can be told about an application at a path.
    struct Application {
        QString name;
        QString identifier; // empty when it has none
    };

    virtual ~AppLauncher() = default;
    // The location of the application with this identifier, if one is installed.
    virtual std::optional<QString> locate(const QString& bundleID) = 0;
    // The application at this path, or nothing when the path holds none.
    virtual std::optional<Application> inspect(const QString& path) = 0;
    // The name the desktop gives the application at this path in the user's language, or
    // nothing when it gives none (then its file name serves). Asked for every state a launcher
    // widget receives: an unchanged file is not read again.
    virtual std::optional<QString> displayName(const QString& path) {
        Q_UNUSED(path);
        return std::nullopt;
    }
    virtual void open(const QString& location, Completion completion) = 0;
};
