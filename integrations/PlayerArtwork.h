#pragma once

#include "integrations/ArtworkReader.h"
#include "model/Artwork.h"

#include <QObject>
#include <memory>

// The current track's cover, read by the dashboard and held for its pages under a name of its
// own. Only images are kept; an address that failed is not tried again until the player names
// another one.
class PlayerArtwork : public QObject {
    Q_OBJECT

public:
    explicit PlayerArtwork(std::shared_ptr<ArtworkReader> reader, QObject* parent = nullptr);

    // The player's address for the current cover; empty for none.
    void follow(const QString& address);
    // Where pages find the cover: "/_tarn/artwork/" and its name; empty while there is none.
    QString path() const;
    // The cover under that name; nothing once another one took its place.
    std::optional<Artwork> picture(const QString& name) const;

    // The media type of an image the web engine shows, judged by its first bytes; nothing for
    // anything else (scalable graphics included: they are documents).
    static std::optional<QString> imageType(const QByteArray& bytes);

signals:
    // A new cover is ready.
    void changed();

private:
    void take(const QString& address, const std::optional<QByteArray>& bytes);

    std::shared_ptr<ArtworkReader> m_reader;
    QString m_address;
    std::optional<Artwork> m_picture;
    quint64 m_number = 0;
};
