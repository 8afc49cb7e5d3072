#pragma once

#include <QByteArray>
#include <QObject>
#include <QUrl>
#include <functional>
#include <optional>

// Reads the cover picture a music player names: a local file or a web address. The dashboard
// reads it itself, so that its pages never need the player's address or access to its host.
class ArtworkReader {
public:
    // Covers are small; anything bigger is not taken.
    static constexpr qint64 maximumBytes = 5000000;

    using Completion = std::function<void(const std::optional<QByteArray>& bytes)>;

    virtual ~ArtworkReader() = default;
    // Answers later, on the main thread, unless `receiver` is gone: the bytes, or nothing when
    // the address could not be read within the reader's limits.
    virtual void read(const QUrl& url, QObject* receiver, Completion done) = 0;
};
