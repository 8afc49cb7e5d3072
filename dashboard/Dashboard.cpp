#include "Dashboard.h"

#include "dashboard/DashboardGeometry.h"
#include "dashboard/DashboardOverlay.h"
#include "dashboard/TarnTheme.h"
#include "dashboard/WidgetContainer.h"
#include "store/TarnStore.h"
#include "touch/views/TouchSurface.h"

#include <QPainter>

Dashboard::Dashboard(TarnStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_overlay(new DashboardOverlay(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&store, &TarnStore::preferencesChanged, this, &Dashboard::rebuild);
    connect(&store.widgets(), &WidgetRegistry::revisionChanged, this, &Dashboard::rebuild);
    connect(&store, &TarnStore::toastChanged, this,
            [this] { m_overlay->setToast(m_store.toast()); });
    m_overlay->setToast(store.toast());
    rebuild();
}

double Dashboard::scale() const {
    return DashboardGeometry::scale(size(), canvasSize(m_store.preferences().orientation));
}

QRectF Dashboard::canvasFrame() const {
    return DashboardGeometry::canvasFrame(size(), canvasSize(m_store.preferences().orientation));
}

QList<WidgetContainer*> Dashboard::containers() const {
    return m_tiles.values();
}

WidgetContainer* Dashboard::container(const WidgetKind& widget) const {
    return m_tiles.value(tileKey(widget));
}

QString Dashboard::tileKey(const WidgetKind& widget) const {
    // A rescan of the packages changes the revision and so replaces every tile's page.
    return widget.rawValue() + QLatin1Char('-') + QString::number(m_store.widgets().revision());
}

void Dashboard::setOnTouchscreen(bool onTouchscreen) {
    m_onTouchscreen = onTouchscreen;
    for (WidgetContainer* tile : std::as_const(m_tiles))
        tile->setOnTouchscreen(onTouchscreen);
}

void Dashboard::setPageIndicatorRevision(int revision) {
    if (revision == m_pageIndicatorRevision)
        return;
    m_pageIndicatorRevision = revision;
    m_overlay->flashPageIndicator();
}

void Dashboard::attachTouch(DirectTouchController& touch) {
    delete m_touchSurface;
    m_touchSurface = new TouchSurface(touch, this, true);
    m_touchSurface->setAccent(TarnTheme::color(m_store.preferences().accentHex()));
    m_touchSurface->setScale(scale());
    connect(&touch, &DirectTouchController::pageIndicatorRevisionChanged, this,
            &Dashboard::setPageIndicatorRevision);
}

// Keeps the tiles of widgets still on the page (a swap moves a page instead of reloading it),
// removes the others and adds the new ones.
void Dashboard::rebuild() {
    const PageLayout layout = m_store.layout(m_store.preferences().board);
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
    const QList<Board> pages = m_store.pages();
    m_overlay->setPages(int(pages.size()), int(pages.indexOf(m_store.preferences().board)));
    if (m_touchSurface)
        m_touchSurface->setAccent(TarnTheme::color(m_store.preferences().accentHex()));
    placeTiles(layout);
}

void Dashboard::placeTiles(const PageLayout& layout) {
    const QSizeF canvas = canvasSize(m_store.preferences().orientation);
    const QRectF frame = canvasFrame();
    const double factor = scale();
    for (const WidgetSection& section : layout.sections) {
        WidgetContainer* tile = section.widget ? container(*section.widget) : nullptr;
        if (!tile)
            continue;
        const QRectF inCanvas = DashboardGeometry::sectionFrame(section, canvas);
        const QRectF inView(frame.topLeft() + inCanvas.topLeft() * factor,
                            inCanvas.size() * factor);
        const QPoint topLeft(qRound(inView.left()), qRound(inView.top()));
        const QPoint bottomRight(qRound(inView.right()), qRound(inView.bottom()));
        tile->setGeometry(QRect(
                topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y())));
        tile->setZoom(factor);
    }
    m_overlay->setGeometry(rect());
    m_overlay->setCanvas(frame, factor);
    m_overlay->raise();
    if (m_touchSurface)
        m_touchSurface->setScale(factor);
}

void Dashboard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), TarnTheme::background());
}

void Dashboard::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeTiles(m_store.layout(m_store.preferences().board));
}
