#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

// Runs the music player's fixed command bodies and reports the player's presence. Error codes
// follow the original scripting interface: -1743 for a refused request, -1712 for no answer.
// A transport may follow one of several players; the defaults describe one that only ever
// talks to the Spotify application, which can do everything.
class PlayerTransport {
public:
    static constexpr int notPermitted = -1743;
    static constexpr int timedOut = -1712;

    // What the followed player can do, as the state query found it.
    struct Capabilities {
        bool play = true;
        bool pause = true;
        bool goNext = true;
        bool goPrevious = true;
        bool seek = true;
        bool shuffle = true;
        bool repeat = true;
        bool setVolume = true;
        bool operator==(const Capabilities&) const = default;
    };

    struct Reply {
        bool ok = false;
        QStringList items;
        int code = 0;
        QString message;
        Capabilities can = {}; // of the state query's player
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

    // The name the user knows the followed player by; while none runs, the one Connect opens.
    virtual QString playerName() { return QStringLiteral("Spotify"); }
    // Which player is followed now: another text means another player.
    virtual QString followed() { return {}; }
    // Follows this player alone; with nothing pinned the transport chooses by itself.
    virtual void pin(const std::optional<QString>&) {}
};
