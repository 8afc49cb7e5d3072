#pragma once

#include "model/WidgetKind.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QWidget>

class ErrorBadge;
class TarnStore;
class TileFrame;
class WebWidget;

// One widget tile of the dashboard: the widget's page, or a placeholder when its package is not
// installed. Tiles can be dragged onto each other and take dropped packages.
class WidgetContainer : public QWidget {
    Q_OBJECT

public:
    // A press held this long before moving starts dragging a widget whose page takes the mouse.
    static constexpr int holdToDragMilliseconds = 400;

    WidgetContainer(const WidgetKind& widget, TarnStore& store, QWidget* parent = nullptr);

    const WidgetKind& widget() const { return m_widget; }
    // None for the placeholder.
    WebWidget* web() const { return m_web; }
    bool isTargeted() const { return m_targeted; }
    // Shown while the page has reported an uncaught error since it last loaded; none for the
    // placeholder.
    ErrorBadge* errorBadge() const { return m_errorBadge; }
    // The widget's log in a window of the dashboard's own.
    void showLog();
    void setZoom(double zoom);
    void setOnTouchscreen(bool onTouchscreen);
    // Whether the tile's page is the one shown (WebWidget::setShown).
    void setShown(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setTargeted(bool targeted);
    void watchErrors();
    void startDrag();
    void watchForDrags(QObject* object);
    void paintPlaceholder(QPainter& painter);

    WidgetKind m_widget;
    TarnStore& m_store;
    WebWidget* m_web = nullptr;
    TileFrame* m_frame = nullptr;
    ErrorBadge* m_errorBadge = nullptr;
    double m_zoom = 1;
    bool m_targeted = false;
    QPoint m_pressPosition;
    QElapsedTimer m_pressTime;
};
