#pragma once

#include "model/Board.h"
#include "model/PageLayout.h"
#include "model/WidgetKind.h"
#include "touch/views/TouchSurface.h"

#include <QLabel>
#include <QMap>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <optional>

class DashboardOverlay;
class DirectTouchController;
class PageStage;
class TarnStore;
class WidgetContainer;

// The current page of the store, drawn at the logical canvas size scaled into the view: one
// tile per placed widget, the page indicator and the toast on top. A few other pages are kept
// drawn, hidden and at rest (KeptPages), and a page change slides the new page in.
class Dashboard : public QWidget {
    Q_OBJECT

public:
    static constexpr int slideMilliseconds = 200;  // ease-out
    static constexpr int swapMilliseconds = 200;   // ease-in-out
    static constexpr int layoutMilliseconds = 180; // ease-in-out
    // After a page is shown, its neighbours are drawn ahead this much later, out of its way.
    static constexpr int preloadMilliseconds = 1000;

    explicit Dashboard(TarnStore& store, QWidget* parent = nullptr);

    double scale() const;
    QRectF canvasFrame() const;
    // The tiles of the page shown.
    QList<WidgetContainer*> containers() const;
    WidgetContainer* container(const WidgetKind& widget) const;
    DashboardOverlay* overlay() const { return m_overlay; }
    std::optional<Board> shownPage() const { return m_shown; }
    // The pages drawn, the shown one first, then in the store's order.
    QList<Board> keptPages() const;
    PageStage* stage(Board board) const { return m_stages.value(board); }
    bool isSliding() const { return m_slide.state() == QAbstractAnimation::Running; }
    // Ends a running slide at once, the new page in its place.
    void finishSlide();
    // Draws the neighbours of the page shown now instead of a moment later.
    void preloadNow();

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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    void reloadPages();
    PageStage* stageFor(Board board);
    void place(PageStage* stage, int milliseconds = 0);
    void placeOverlay();
    void followShownLayout();
    void slideTo(Board board);
    void slideEnded();
    void keep();
    void preload();
    int pagesOn(Board board) const;

    TarnStore& m_store;
    QMap<Board, PageStage*> m_stages;
    std::optional<Board> m_shown;
    PageLayout m_shownLayout;
    QSizeF m_shownCanvas;
    QList<Board> m_recent; // most recently shown first
    QLabel* m_leaving;     // the page sliding out, as it looked
    QParallelAnimationGroup m_slide;
    QTimer m_preload;
    DashboardOverlay* m_overlay;
    QPointer<TouchSurface> m_touchSurface;
    bool m_onTouchscreen = false;
    int m_pageIndicatorRevision = 0;
};
