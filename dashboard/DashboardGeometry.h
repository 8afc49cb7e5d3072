#pragma once

#include "model/LayoutOrientation.h"
#include "model/PageLayout.h"

#include <QRectF>
#include <QSizeF>

// Where the dashboard draws: the logical canvas scaled into the window and centred, the page
// area inside it and one frame per section. Canvas frames are in canvas points.
namespace DashboardGeometry {

constexpr double pageInsetX = 14;
constexpr double pageInsetY = 12;
constexpr double sectionInset = 7;
constexpr double tileRadius = 22;

double scale(const QSizeF& window, const QSizeF& canvas);
// The canvas's rectangle in window coordinates.
QRectF canvasFrame(const QSizeF& window, const QSizeF& canvas);
QRectF pageArea(const QSizeF& canvas);
QRectF sectionFrame(const WidgetSection& section, const QSizeF& canvas);

} // namespace DashboardGeometry
