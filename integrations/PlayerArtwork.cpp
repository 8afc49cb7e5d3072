#include "PlayerArtwork.h"

#include <QUrl>

PlayerArtwork::PlayerArtwork(std::shared_ptr<ArtworkReader> reader, QObject* parent)
    : QObject(parent), m_reader(std::move(reader)) {}

void PlayerArtwork::follow(const QString& address) {
    if (address == m_address)
        return;
    m_address = address;
    m_picture.reset();
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    if (!m_reader || !url.isValid() ||
        (scheme != QLatin1String("file") && scheme != QLatin1String("http") &&
         scheme != QLatin1String("https")))
        return;
    m_reader->read(url, this, [this, address](const std::optional<QByteArray>& bytes) {
        take(address, bytes);
    });
}

void PlayerArtwork::take(const QString& address, const std::optional<QByteArray>& bytes) {
    if (address != m_address || !bytes || bytes->size() > ArtworkReader::maximumBytes)
        return;
    const std::optional<QString> type = imageType(*bytes);
    if (!type)
        return;
    m_picture = Artwork{*bytes, *type};
    // A new name for every picture: a page never shows an older one from its cache.
    ++m_number;
    emit changed();
}

QString PlayerArtwork::path() const {
    if (!m_picture)
        return {};
    return QLatin1Char('/') + QLatin1String(Artwork::folder) + QString::number(m_number);
}

std::optional<Artwork> PlayerArtwork::picture(const QString& name) const {
    if (!m_picture || name != QString::number(m_number))
        return std::nullopt;
    return m_picture;
}

std::optional<QString> PlayerArtwork::imageType(const QByteArray& bytes) {
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return QStringLiteral("image/png");
    if (bytes.startsWith("\xff\xd8\xff"))
        return QStringLiteral("image/jpeg");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return QStringLiteral("image/gif");
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return QStringLiteral("image/webp");
    if (bytes.mid(4, 8) == "ftypavif")
        return QStringLiteral("image/avif");
    return std::nullopt;
}
