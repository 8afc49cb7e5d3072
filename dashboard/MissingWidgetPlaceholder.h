#pragma once

#include <QList>
#include <QRectF>
#include <QString>

class QPainter;

// What a tile shows for a widget whose package is not installed: a puzzle piece, "Widget
// unavailable", the package it needs and what to do. The lines wrap to the tile; what does not
// fit a small tile is left out, the least important first, so what shows reads whole.
class MissingWidgetPlaceholder {
public:
    struct Line {
        QString text;
        double size = 14; // points
        bool heading = false;
        QRectF frame; // in the tile's points
    };
    struct Layout {
        QRectF symbol; // empty when left out
        QList<Line> lines;
    };

    // The layout for a tile of `tile` points (before zooming).
    static Layout layout(const QSizeF& tile, const QString& packageID);
    static void paint(QPainter& painter, const Layout& layout);
};
