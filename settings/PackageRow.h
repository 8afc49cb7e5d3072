#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

// One package in a list, drawn into `frame`: its badge or its preview, its name and a line under
// it, on a tint of the accent when selected and a faint one when the pointer is over it, ringed
// when it has the keyboard focus. A row with a preview shows the badge on a placeholder while the
// picture is not there.
struct PackageRowLook {
    QString name;
    QString detail;
    QColor accent;
    bool selected = false;
    bool hovered = false;
    bool focused = false;
    bool withPreview = false;
    QImage preview;
};
void paintPackageRow(QPainter& painter, const QRectF& frame, const PackageRowLook& look);

// A package's badge: a rounded square with the name's first letter in the accent colour.
void paintPackageBadge(QPainter& painter, const QRectF& frame, const QString& name,
                       const QColor& accent);

// A package's preview fitted into `frame`, on a faint card; the badge on it without a picture.
void paintPackagePreview(QPainter& painter, const QRectF& frame, const QImage& preview,
                         const QString& name, const QColor& accent);
