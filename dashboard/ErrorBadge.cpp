#include "ErrorBadge.h"

#include "dashboard/TarnTheme.h"

#include <QPainter>

ErrorBadge::ErrorBadge(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setToolTip(tr("This widget’s page reported an error. Show its log."));
    setAccessibleName(tr("Show Widget Log"));
}

void ErrorBadge::place(const QSize& tile, double zoom) {
    const int size = qMax(12, qRound(diameter * zoom));
    const int inset = qRound(margin * zoom);
    setGeometry(tile.width() - inset - size, inset, size, size);
}

void ErrorBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setPen(QPen(TarnTheme::surface(), 2));
    painter.setBrush(TarnTheme::danger());
    painter.drawEllipse(circle);
    // An exclamation mark: a stroke and a dot.
    const double unit = circle.width() / 10;
    painter.setPen(Qt::NoPen);
    painter.setBrush(TarnTheme::background());
    const QPointF centre = circle.center();
    painter.drawRoundedRect(
            QRectF(centre.x() - unit * 0.6, centre.y() - unit * 3.2, unit * 1.2, unit * 4),
            unit * 0.6, unit * 0.6);
    painter.drawEllipse(QPointF(centre.x(), centre.y() + unit * 2.4), unit * 0.75, unit * 0.75);
}
