#pragma once

#include "packages/WidgetPackage.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <functional>

// Pictures of packages for the widget library: each package drawn at its preferred size with its
// sample state, never with the user's own, by a renderer that works in the background. Pictures
// are kept in a cache folder under the package's identity, version and the time its manifest was
// written, so a new version or a package installed again is drawn again, and anything else is
// drawn once. Only the packages a list shows are asked for; one package is drawn at a time, and
// one that cannot be drawn has no picture until the program starts again.
class PackagePreviews : public QObject {
    Q_OBJECT

public:
    // Pictures are kept at most this tall, in pixels: the largest the library shows.
    static constexpr int keptHeight = 320;

    struct Render {
        QString packageFolder;
        QString picture; // the PNG to write
        QSize size;      // in dashboard points
    };
    // Draws the package and calls `done` once, later, with whether the picture was written; what
    // it starts belongs to `owner` and ends with it.
    using Renderer = std::function<void(const Render& render, QObject* owner,
                                        std::function<void(bool)> done)>;

    PackagePreviews(QString cacheFolder, Renderer renderer, QObject* parent = nullptr);

    // The package's picture as far as it is at hand; a null image until it is, and when it
    // cannot be drawn. Cheap: nothing is read or drawn.
    QImage picture(const WidgetPackage& package) const;
    // Makes the package's picture at hand: read from the cache folder, else drawn. `drawn`
    // follows when it is there; asking again meanwhile changes nothing.
    void request(const WidgetPackage& package);
    // The size a package is drawn at: its preferred width on a full-height section.
    static QSize size(const WidgetPackage& package);

signals:
    void drawn(const QString& packageID);

private:
    QString cacheFile(const WidgetPackage& package) const;
    void drawNext();
    void finish(const QString& file, bool drawnWell);

    QString m_folder;
    Renderer m_renderer;
    QHash<QString, QImage> m_pictures; // by cache file
    QSet<QString> m_failed;
    QList<std::pair<QString, Render>> m_waiting; // by cache file
    QString m_drawing;
    QHash<QString, QString> m_packageIDs;
};
