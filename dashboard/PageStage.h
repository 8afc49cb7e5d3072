#pragma once

#include "model/Board.h"
#include "model/PageLayout.h"
#include "model/WidgetKind.h"

#include <QHash>
#include <QParallelAnimationGroup>
#include <QWidget>

class TarnStore;
class WidgetContainer;

// The tiles of one page, laid out over the whole dashboard. Besides the page shown, the dashboard
// keeps a few pages this way, hidden and at rest, so changing to one shows it already drawn.
class PageStage : public QWidget {
    Q_OBJECT

public:
    PageStage(Board board, TarnStore& store, QWidget* parent);

    Board board() const { return m_board; }
    QList<WidgetContainer*> containers() const { return m_tiles.values(); }
    WidgetContainer* container(const WidgetKind& widget) const;
    // How many of its tiles hold a web page (each one a renderer of its own).
    int pageCount() const;

    // Makes the tiles those of the page's layout now: tiles of widgets still placed stay (so a
    // swap moves a page instead of loading it again), the others go, new ones start loading.
    void sync(const PageLayout& layout);
    // Places the tiles in the stage: the canvas of `canvas` points at `canvasFrame`, scaled by
    // `scale`. Tiles that move do so over `milliseconds` when it is not 0.
    void place(const PageLayout& layout, const QSizeF& canvas, const QRectF& canvasFrame,
               double scale, int milliseconds = 0);
    bool isMovingTiles() const { return m_moving.state() == QAbstractAnimation::Running; }
    // Whether this is the page shown: only then do its widgets get state and act.
    void setShown(bool shown);
    bool isShown() const { return m_shown; }
    void setOnTouchscreen(bool onTouchscreen);

private:
    QString tileKey(const WidgetKind& widget) const;

    Board m_board;
    TarnStore& m_store;
    QHash<QString, WidgetContainer*> m_tiles; // by widget and registry revision
    QParallelAnimationGroup m_moving;
    bool m_shown = false;
    bool m_onTouchscreen = false;
};
