#include "Dashboard.h"

#include "dashboard/DashboardGeometry.h"
#include "dashboard/DashboardOverlay.h"
#include "dashboard/KeptPages.h"
#include "dashboard/PageStage.h"
#include "dashboard/TarnTheme.h"
#include "dashboard/WidgetContainer.h"
#include "store/TarnStore.h"
#include "touch/views/TouchSurface.h"

#include <QApplication>
#include <QPainter>
#include <QPropertyAnimation>

namespace {

// The same sections in the same places, only the widgets in them exchanged.
bool sameFrames(const PageLayout& a, const PageLayout& b) {
    if (a.sections.size() != b.sections.size())
        return false;
    for (qsizetype index = 0; index < a.sections.size(); ++index) {
        const WidgetSection& one = a.sections[index];
        const WidgetSection& other = b.sections[index];
        if (one.x != other.x || one.y != other.y || one.width != other.width ||
            one.height != other.height)
            return false;
    }
    return true;
}

QPropertyAnimation* slide(QWidget* widget, QPoint from, QPoint to, QObject* group) {
    auto* animation = new QPropertyAnimation(widget, "pos", group);
    animation->setDuration(Dashboard::slideMilliseconds);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setStartValue(from);
    animation->setEndValue(to);
    return animation;
}

} // namespace

Dashboard::Dashboard(TarnStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_leaving(new QLabel(this)),
      m_overlay(new DashboardOverlay(store.tasks(), this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_leaving->hide();
    m_leaving->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_preload.setSingleShot(true);
    m_preload.setInterval(preloadMilliseconds);
    connect(&m_preload, &QTimer::timeout, this, &Dashboard::preload);
    connect(&m_slide, &QAbstractAnimation::finished, this, &Dashboard::slideEnded);
    connect(&store, &TarnStore::preferencesChanged, this, &Dashboard::follow);
    connect(&store.widgets(), &WidgetRegistry::revisionChanged, this, &Dashboard::reloadPages);
    connect(&store, &TarnStore::toastChanged, this,
            [this] { m_overlay->setToast(m_store.toast()); });
    m_overlay->setToast(store.toast());
    follow();
}

double Dashboard::scale() const {
    return DashboardGeometry::scale(size(), canvasSize(m_store.preferences().orientation));
}

QRectF Dashboard::canvasFrame() const {
    return DashboardGeometry::canvasFrame(size(), canvasSize(m_store.preferences().orientation));
}

QList<WidgetContainer*> Dashboard::containers() const {
    const PageStage* shown = m_shown ? m_stages.value(*m_shown) : nullptr;
    return shown ? shown->containers() : QList<WidgetContainer*>();
}

WidgetContainer* Dashboard::container(const WidgetKind& widget) const {
    const PageStage* shown = m_shown ? m_stages.value(*m_shown) : nullptr;
    return shown ? shown->container(widget) : nullptr;
}

QList<Board> Dashboard::keptPages() const {
    QList<Board> kept = m_stages.keys();
    if (m_shown) {
        kept.removeOne(*m_shown);
        kept.prepend(*m_shown);
    }
    return kept;
}

void Dashboard::setOnTouchscreen(bool onTouchscreen) {
    m_onTouchscreen = onTouchscreen;
    for (PageStage* stage : std::as_const(m_stages))
        stage->setOnTouchscreen(onTouchscreen);
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
    // A finger coming down during a slide meets the page where the slide ends.
    connect(&touch, &DirectTouchController::touched, this, &Dashboard::finishSlide);
}

int Dashboard::pagesOn(Board board) const {
    int count = 0;
    for (const WidgetSection& section : m_store.layout(board).sections)
        count += section.widget && m_store.widgets().package(*section.widget) ? 1 : 0;
    return count;
}

PageStage* Dashboard::stageFor(Board board) {
    if (PageStage* stage = m_stages.value(board))
        return stage;
    auto* stage = new PageStage(board, m_store, this);
    stage->setOnTouchscreen(m_onTouchscreen);
    stage->hide();
    stage->stackUnder(m_leaving);
    stage->sync(m_store.layout(board));
    place(stage);
    m_stages.insert(board, stage);
    return stage;
}

void Dashboard::place(PageStage* stage, int milliseconds) {
    stage->resize(size());
    stage->place(m_store.layout(stage->board()), canvasSize(m_store.preferences().orientation),
                 canvasFrame(), scale(), milliseconds);
}

// Every change of the preferences: kept pages follow their layouts, the one shown animated, and
// a change of the current page slides to it.
void Dashboard::follow() {
    const Board board = m_store.preferences().board;
    const QList<Board> pages = m_store.pages();
    for (PageStage* stage : m_stages.values()) {
        if (stage->board() == board || stage->board() == m_shown)
            continue;
        if (!pages.contains(stage->board())) {
            m_stages.remove(stage->board());
            stage->deleteLater();
            continue;
        }
        stage->sync(m_store.layout(stage->board()));
        place(stage);
    }
    if (m_shown != board)
        slideTo(board);
    else
        followShownLayout();
    m_overlay->setPages(int(pages.size()), int(pages.indexOf(board)));
    if (m_touchSurface)
        m_touchSurface->setAccent(TarnTheme::color(m_store.preferences().accentHex()));
    placeOverlay();
    keep();
}

void Dashboard::placeOverlay() {
    m_overlay->setGeometry(rect());
    m_overlay->setCanvas(canvasFrame(), scale());
    m_overlay->raise();
    if (m_touchSurface)
        m_touchSurface->setScale(scale());
}

// A swap moves the two tiles, an edit of the layout its sections; a new canvas (the orientation
// changed) places them at once.
void Dashboard::followShownLayout() {
    PageStage* shown = m_stages.value(*m_shown);
    const PageLayout layout = m_store.layout(*m_shown);
    const QSizeF canvas = canvasSize(m_store.preferences().orientation);
    int milliseconds = 0;
    if (layout != m_shownLayout && isVisible() && canvas == m_shownCanvas)
        milliseconds = sameFrames(layout, m_shownLayout) ? swapMilliseconds : layoutMilliseconds;
    shown->sync(layout);
    place(shown, milliseconds);
    m_shownLayout = layout;
    m_shownCanvas = canvas;
}

void Dashboard::slideTo(Board board) {
    finishSlide();
    PageStage* from = m_shown ? m_stages.value(*m_shown) : nullptr;
    PageStage* to = stageFor(board);
    const QList<Board> pages = m_store.pages();
    const int direction = from && pages.indexOf(board) < pages.indexOf(from->board()) ? -1 : 1;
    m_shown = board;
    m_shownLayout = m_store.layout(board);
    m_shownCanvas = canvasSize(m_store.preferences().orientation);
    m_recent.removeAll(board);
    m_recent.prepend(board);
    if (from) {
        // The page that leaves slides out as it last looked; it rests from now on.
        if (isVisible())
            m_leaving->setPixmap(from->grab());
        from->setShown(false);
        from->hide();
    }
    to->setShown(true);
    if (!from || !isVisible()) {
        to->move(0, 0);
        to->show();
        return;
    }
    m_leaving->setGeometry(rect());
    m_leaving->show();
    to->move(direction * width(), 0);
    to->show();
    m_slide.clear();
    m_slide.addAnimation(slide(to, to->pos(), QPoint(0, 0), &m_slide));
    m_slide.addAnimation(slide(m_leaving, QPoint(0, 0), QPoint(-direction * width(), 0), &m_slide));
    // A press anywhere during the slide ends it, so it meets the page where it will stay.
    qApp->installEventFilter(this);
    m_slide.start();
}

void Dashboard::finishSlide() {
    if (!isSliding())
        return;
    m_slide.setCurrentTime(m_slide.totalDuration());
    // At once, not on the next turn of the event loop: the touch that ended the slide is about
    // to look for its region.
    if (m_touchSurface)
        m_touchSurface->collect();
}

void Dashboard::slideEnded() {
    qApp->removeEventFilter(this);
    m_leaving->hide();
    m_leaving->clear();
    if (PageStage* shown = m_shown ? m_stages.value(*m_shown) : nullptr)
        shown->move(0, 0);
}

bool Dashboard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::TouchBegin)
        finishSlide();
    return QWidget::eventFilter(watched, event);
}

// Drops the pages no longer worth keeping, and draws the neighbours of the page shown a moment
// later.
void Dashboard::keep() {
    const QList<Board> kept = KeptPages::choose(m_store.pages(), *m_shown, m_recent,
                                                [this](Board board) { return pagesOn(board); });
    for (PageStage* stage : m_stages.values()) {
        if (kept.contains(stage->board()))
            continue;
        m_stages.remove(stage->board());
        stage->deleteLater();
    }
    m_recent.erase(std::remove_if(m_recent.begin(), m_recent.end(),
                                  [&](Board board) { return !kept.contains(board); }),
                   m_recent.end());
    m_preload.start();
}

void Dashboard::preloadNow() {
    m_preload.stop();
    preload();
}

void Dashboard::preload() {
    if (!m_shown)
        return;
    const QList<Board> kept = KeptPages::choose(m_store.pages(), *m_shown, m_recent,
                                                [this](Board board) { return pagesOn(board); });
    for (Board board : KeptPages::neighbours(m_store.pages(), *m_shown)) {
        if (kept.contains(board))
            stageFor(board);
    }
}

// A rescan of the packages replaces the pages of every kept page, shown or not.
void Dashboard::reloadPages() {
    for (PageStage* stage : std::as_const(m_stages)) {
        stage->sync(m_store.layout(stage->board()));
        place(stage);
    }
}

void Dashboard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), TarnTheme::background());
}

void Dashboard::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    finishSlide();
    for (PageStage* stage : std::as_const(m_stages))
        place(stage);
    placeOverlay();
}
