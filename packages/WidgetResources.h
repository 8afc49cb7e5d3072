#pragma once

#include "model/Artwork.h"
#include "packages/WidgetPackage.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// Answers the "tarn-widget" requests of one widget page: files of its package, or of the widget
// SDK folder under the "_tarn/" prefix, each HTML document preceded by the content security
// policy that keeps the page inside its package and its declared origins. A page with the
// "spotify" permission also gets the music player's cover that the dashboard holds, at the path
// its state names.
class WidgetResources {
public:
    static constexpr qint64 maximumBytes = 10000000;
    static constexpr const char* host = "widget";
    static constexpr const char* sdkPrefix = "_tarn/";

    struct Answer {
        bool ok = false;
        QString mimeType;
        QByteArray body;
        QString error; // when !ok
    };

    // A worker's script starts with lines that take away what no request check sees (web
    // sockets, WebTransport, peer connections) and further workers, whose scripts would not get
    // these lines.
    enum class Use { asRequested, workerScript };

    // The music player's cover by its name; nothing once it is no longer the current one.
    using ArtworkSource = std::function<std::optional<Artwork>(const QString& name)>;

    WidgetResources(WidgetPackage package, QString sdkDirectory, ArtworkSource artwork = {});

    Answer answer(const QUrl& url, Use use = Use::asRequested) const;
    static QByteArray workerPrologue();

    const WidgetPackage& package() const { return m_package; }

    static QString contentSecurityPolicy(const WidgetManifest& manifest);
    // The media type of a file name's extension; "application/octet-stream" when unknown.
    static QString mimeType(const QString& fileName);

private:
    Answer artwork(const QString& name) const;

    WidgetPackage m_package;
    QString m_sdkDirectory;
    ArtworkSource m_artwork;
};
