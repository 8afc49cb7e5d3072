#pragma once

#include <QColor>
#include <QPainterPath>
#include <QWidget>

// Drawn over a tile: rounds its corners by covering them with the dashboard's background (web
// pages cannot be clipped to a curve), and the accent outline while a drag hovers. Takes no input.
class TileFrame : public QWidget {
    Q_OBJECT

public:
    explicit TileFrame(QWidget* parent);

    void setRadius(double radius);
    void setOutline(const QColor& colour, double width); // an invalid colour: no outline

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The page under the frame repaints once a second: keep the corners' shape between paints.
    QPainterPath m_corners;
    double m_radius = 22;
    QColor m_outline;
    double m_outlineWidth = 3;
};
