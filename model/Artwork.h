#pragma once

#include <QByteArray>
#include <QString>

// The music player's cover as the dashboard holds it for its own pages. The player's address
// never reaches a page: a page finds the picture at "/" + folder + its name, in its own
// "tarn-widget" scheme, and the name changes with every new picture.
struct Artwork {
    static constexpr const char* folder = "_tarn/artwork/";

    QByteArray bytes;
    QString mimeType;
};
