#pragma once

#include <QAbstractButton>

// A small round mark in a tile's corner: the widget's page reported an uncaught error since it
// last loaded. Clicking or tapping it shows the widget's log.
class ErrorBadge : public QAbstractButton {
    Q_OBJECT

public:
    // Its diameter and its distance from the tile's edges, in canvas points.
    static constexpr double diameter = 30;
    static constexpr double margin = 8;

    explicit ErrorBadge(QWidget* parent);
    // Its place in a tile of this size at this zoom: the top right corner.
    void place(const QSize& tile, double zoom);

protected:
    void paintEvent(QPaintEvent* event) override;
};
