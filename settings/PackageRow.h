#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

// One package in a list, drawn into `frame`: its badge, its name and a line under it, on a tint
// of the accent when selected and a faint one when the pointer is over it, ringed when it has
// the keyboard focus.
struct PackageRowLook {
    QString name;
    QString detail;
    QColor accent;
    bool selected = false;
    bool hovered = false;
    bool focused = false;
};
void paintPackageRow(QPainter& painter, const QRectF& frame, const PackageRowLook& look);

// A package's badge: a rounded square with the name's first letter in the accent colour.
void paintPackageBadge(QPainter& painter, const QRectF& frame, const QString& name,
                       const QColor& accent);
