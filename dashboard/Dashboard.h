#pragma once

#include "model/PageLayout.h"
#include "model/WidgetKind.h"
#include "touch/views/TouchSurface.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class DashboardOverlay;
class DirectTouchController;
class TarnStore;

class WidgetContainer;

// The current page of the store, drawn at the logical canvas size scaled into the view: one
// tile per placed widget, the page indicator and the toast on top.
class Dashboard : public QWidget {
    Q_OBJECT

public:
    explicit Dashboard(TarnStore& store, QWidget* parent = nullptr);

    double scale() const;
    QRectF canvasFrame() const;
    QList<WidgetContainer*> containers() const;
    WidgetContainer* container(const WidgetKind& widget) const;
    DashboardOverlay* overlay() const { return m_overlay; }

    // Whether the window is in full screen on the touchscreen (widgets then use touch mode).
    void setOnTouchscreen(bool onTouchscreen);
    // The touch controller's counter: every change flashes the page indicator.
    void setPageIndicatorRevision(int revision);
    // Registers the dashboard as the touch surface of direct touch, each tile a movable region;
    // the page indicator then follows the controller.
    void attachTouch(DirectTouchController& touch);
    TouchSurface* touchSurface() const { return m_touchSurface; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    void placeTiles(const PageLayout& layout);
    QString tileKey(const WidgetKind& widget) const;

    TarnStore& m_store;
    QHash<QString, WidgetContainer*> m_tiles; // by widget and registry revision
    DashboardOverlay* m_overlay;
    QPointer<TouchSurface> m_touchSurface;
    bool m_onTouchscreen = false;
    int m_pageIndicatorRevision = 0;
};
