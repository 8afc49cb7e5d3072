#include "DashboardGeometry.h"

#include <algorithm>

namespace DashboardGeometry {

double scale(const QSizeF& window, const QSizeF& canvas) {
    if (canvas.isEmpty())
        return 1;
    return std::max(0.0,
                    std::min(window.width() / canvas.width(), window.height() / canvas.height()));
}

QRectF canvasFrame(const QSizeF& window, const QSizeF& canvas) {
    const double factor = scale(window, canvas);
    const QSizeF size = canvas * factor;
    return QRectF(
            QPointF((window.width() - size.width()) / 2, (window.height() - size.height()) / 2),
            size);
}

QRectF pageArea(const QSizeF& canvas) {
    return QRectF(0, 0, canvas.width(), canvas.height())
            .adjusted(pageInsetX, pageInsetY, -pageInsetX, -pageInsetY);
}

QRectF sectionFrame(const WidgetSection& section, const QSizeF& canvas) {
    const QRectF page = pageArea(canvas);
    return QRectF(page.x() + section.x * page.width(), page.y() + section.y * page.height(),
                  section.width * page.width(), section.height * page.height())
            .adjusted(sectionInset, sectionInset, -sectionInset, -sectionInset);
}

} // namespace DashboardGeometry
