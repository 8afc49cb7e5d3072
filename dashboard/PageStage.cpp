#include "PageStage.h"

#include "dashboard/DashboardGeometry.h"
#include "dashboard/WidgetContainer.h"
#include "store/TarnStore.h"

#include <QEasingCurve>
#include <QPropertyAnimation>

PageStage::PageStage(Board board, TarnStore& store, QWidget* parent)
    : QWidget(parent), m_board(board), m_store(store) {
    // The dashboard draws the background; a stage is only its tiles.
    setAttribute(Qt::WA_NoSystemBackground);
}

QString PageStage::tileKey(const WidgetKind& widget) const {
    // A rescan of the packages changes the revision and so replaces every tile's page.
    return widget.rawValue() + QLatin1Char('-') + QString::number(m_store.widgets().revision());
}

WidgetContainer* PageStage::container(const WidgetKind& widget) const {
    return m_tiles.value(tileKey(widget));
}

int PageStage::pageCount() const {
    return int(std::count_if(m_tiles.cbegin(), m_tiles.cend(),
                             [](const WidgetContainer* tile) { return tile->web() != nullptr; }));
}

void PageStage::sync(const PageLayout& layout) {
    QHash<QString, WidgetContainer*> kept;
    for (const WidgetSection& section : layout.sections) {
        if (!section.widget)
            continue;
        const QString key = tileKey(*section.widget);
        if (kept.contains(key))
            continue;
        WidgetContainer* tile = m_tiles.take(key);
        if (!tile) {
            tile = new WidgetContainer(*section.widget, m_store, this);
            tile->setOnTouchscreen(m_onTouchscreen);
            tile->setShown(m_shown);
            tile->show();
        }
        kept.insert(key, tile);
    }
    // Later: the change may come from inside the page being removed.
    for (WidgetContainer* gone : std::as_const(m_tiles)) {
        gone->hide();
        gone->deleteLater();
    }
    m_tiles = kept;
}

void PageStage::place(const PageLayout& layout, const QSizeF& canvas, const QRectF& canvasFrame,
                      double scale, int milliseconds) {
    m_moving.stop();
    m_moving.clear();
    for (const WidgetSection& section : layout.sections) {
        WidgetContainer* tile = section.widget ? container(*section.widget) : nullptr;
        if (!tile)
            continue;
        const QRectF inCanvas = DashboardGeometry::sectionFrame(section, canvas);
        const QRectF inStage(canvasFrame.topLeft() + inCanvas.topLeft() * scale,
                             inCanvas.size() * scale);
        const QPoint topLeft(qRound(inStage.left()), qRound(inStage.top()));
        const QPoint bottomRight(qRound(inStage.right()), qRound(inStage.bottom()));
        const QRect target(topLeft,
                           QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
        tile->setZoom(scale);
        if (milliseconds == 0 || tile->geometry() == target || tile->geometry().isEmpty()) {
            tile->setGeometry(target);
            continue;
        }
        auto* move = new QPropertyAnimation(tile, "geometry", &m_moving);
        move->setDuration(milliseconds);
        move->setEasingCurve(QEasingCurve::InOutQuad);
        move->setEndValue(target);
    }
    m_moving.start();
}

void PageStage::setShown(bool shown) {
    m_shown = shown;
    for (WidgetContainer* tile : std::as_const(m_tiles))
        tile->setShown(shown);
}

void PageStage::setOnTouchscreen(bool onTouchscreen) {
    m_onTouchscreen = onTouchscreen;
    for (WidgetContainer* tile : std::as_const(m_tiles))
        tile->setOnTouchscreen(onTouchscreen);
}
