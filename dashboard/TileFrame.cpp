#include "TileFrame.h"

#include "dashboard/TarnTheme.h"

#include <QPainter>
#include <QPainterPath>

TileFrame::TileFrame(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
}

void TileFrame::setRadius(double radius) {
    if (radius == m_radius)
        return;
    m_radius = radius;
    m_corners.clear();
    update();
}

void TileFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_corners.clear();
}

void TileFrame::setOutline(const QColor& colour, double width) {
    m_outline = colour;
    m_outlineWidth = width;
    update();
}

void TileFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    if (m_corners.isEmpty()) {
        QPainterPath outside;
        outside.addRect(bounds);
        QPainterPath tile;
        tile.addRoundedRect(bounds, m_radius, m_radius);
        m_corners = outside.subtracted(tile);
    }
    painter.fillPath(m_corners, TarnTheme::background());
    if (m_outline.isValid()) {
        const double half = m_outlineWidth / 2;
        painter.setPen(QPen(m_outline, m_outlineWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds.adjusted(half, half, -half, -half), m_radius - half,
                                m_radius - half);
    }
}
