#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

// Runs the music player's fixed command bodies and reports the player's presence. Error codes
// follow the original scripting interface: -1743 for a refused request, -1712 for no answer.
class PlayerTransport {
public:
    static constexpr int notPermitted = -1743;
    static constexpr int timedOut = -1712;

    struct Reply {
        bool ok = false;
        QStringList items;
        int code = 0;
        QString message;
    };
    using Completion = std::function<void(const Reply&)>;

    virtual ~PlayerTransport() = default;
    // Answers later, on the main thread, unless `receiver` is gone.
    virtual void run(const QString& body, QObject* receiver, Completion completion) = 0;
    // Whether the player may be controlled, asked without involving the user.
    virtual bool permitted() = 0;
    virtual bool isRunning() = 0;
    virtual bool isInstalled() = 0;
    // Starts the player; the error text on failure.
    virtual void launch(QObject* receiver,
                        std::function<void(const std::optional<QString>&)> done) = 0;
};
