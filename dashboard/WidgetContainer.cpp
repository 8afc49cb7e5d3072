#include "WidgetContainer.h"

#include "dashboard/DashboardGeometry.h"
#include "dashboard/ErrorBadge.h"
#include "dashboard/MissingWidgetPlaceholder.h"
#include "dashboard/TarnTheme.h"
#include "dashboard/TileFrame.h"
#include "dashboard/WidgetDrops.h"
#include "dashboard/WidgetLogWindow.h"
#include "store/TarnStore.h"
#include "touch/views/TouchControls.h"
#include "widgets/web/WebWidget.h"
#include "widgets/web/WidgetPage.h"

#include <QAction>
#include <QApplication>
#include <QChildEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>

namespace {

bool isDashboardDrag(const QMimeData* data) {
    if (!data || !data->hasText())
        return false;
    const QString text = data->text();
    return text.startsWith(QStringLiteral("tarn-widget:")) ||
           text.startsWith(QStringLiteral("tarn-package:"));
}

} // namespace

WidgetContainer::WidgetContainer(const WidgetKind& widget, TarnStore& store, QWidget* parent)
    : QWidget(parent), m_widget(widget), m_store(store) {
    setAcceptDrops(true);
    setAttribute(Qt::WA_NoSystemBackground);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* left = new QAction(tr("Move left"), this);
    auto* right = new QAction(tr("Move right"), this);
    connect(left, &QAction::triggered, this, [this] { WidgetDrops::move(m_widget, -1, m_store); });
    connect(right, &QAction::triggered, this, [this] { WidgetDrops::move(m_widget, 1, m_store); });
    addActions({left, right});
    setAccessibleName(widget.rawValue());
    // Press-and-hold on the touchscreen moves the tile.
    TouchControls::setMovable(this, widget);

    if (const auto package = store.widgets().package(widget)) {
        m_web = new WebWidget(*package, store, widget.rawValue(), this);
        watchForDrags(m_web);
        auto* log = new QAction(tr("Show Widget Log"), this);
        connect(log, &QAction::triggered, this, &WidgetContainer::showLog);
        addAction(log);
    }
    m_frame = new TileFrame(this);
    m_frame->raise();
    if (m_web)
        watchErrors();
}

// A page whose script fails may still show its placeholders as if all were well: the badge says
// otherwise until the page loads again.
void WidgetContainer::watchErrors() {
    m_errorBadge = new ErrorBadge(this);
    m_errorBadge->hide();
    connect(m_errorBadge, &ErrorBadge::clicked, this, &WidgetContainer::showLog);
    TouchControls::setAction(m_errorBadge, QStringLiteral("widget-log-") + m_widget.rawValue(),
                             [this] { showLog(); });
    connect(m_web, &WebWidget::logged, this, [this](const QString&, WebWidget::LineKind kind) {
        if (kind == WebWidget::LineKind::uncaughtError && m_errorBadge->isHidden()) {
            m_errorBadge->show();
            m_errorBadge->raise();
        }
    });
    connect(m_web->page(), &WidgetPage::documentRequested, m_errorBadge, &QWidget::hide);
}

void WidgetContainer::setZoom(double zoom) {
    m_zoom = zoom;
    if (m_web)
        m_web->setZoom(zoom);
    m_frame->setRadius(DashboardGeometry::tileRadius * zoom);
    if (m_errorBadge)
        m_errorBadge->place(size(), zoom);
    setTargeted(m_targeted);
    update();
}

void WidgetContainer::setOnTouchscreen(bool onTouchscreen) {
    if (m_web)
        m_web->setOnTouchscreen(onTouchscreen);
}

void WidgetContainer::setShown(bool shown) {
    if (m_web)
        m_web->setShown(shown);
}

void WidgetContainer::setTargeted(bool targeted) {
    m_targeted = targeted;
    m_frame->setOutline(targeted ? TarnTheme::color(m_store.preferences().accentHex()) : QColor(),
                        3 * m_zoom);
}

void WidgetContainer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_web)
        m_web->setGeometry(rect());
    m_frame->setGeometry(rect());
    if (m_errorBadge)
        m_errorBadge->place(size(), m_zoom);
}

void WidgetContainer::paintEvent(QPaintEvent*) {
    // A page covers the whole tile and the frame draws its corners.
    if (m_web)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = DashboardGeometry::tileRadius * m_zoom;
    painter.setPen(Qt::NoPen);
    painter.setBrush(TarnTheme::surface());
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
    paintPlaceholder(painter);
}

void WidgetContainer::paintPlaceholder(QPainter& painter) {
    painter.save();
    painter.scale(m_zoom, m_zoom);
    MissingWidgetPlaceholder::paint(
            painter,
            MissingWidgetPlaceholder::layout(QSizeF(size()) / m_zoom, m_widget.packageID()));
    painter.restore();
}

void WidgetContainer::showLog() {
    if (m_web)
        WidgetLogWindow::open(m_web->log().path(), m_web->package().manifest.name, this);
}

// ---- Dragging

void WidgetContainer::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressPosition = event->globalPosition().toPoint();
        m_pressTime.start();
    }
}

void WidgetContainer::mouseMoveEvent(QMouseEvent* event) {
    // The placeholder drags at once; pages keep ordinary drags for themselves.
    if ((event->buttons() & Qt::LeftButton) &&
        (event->globalPosition().toPoint() - m_pressPosition).manhattanLength() >=
                QApplication::startDragDistance())
        startDrag();
}

void WidgetContainer::startDrag() {
    m_pressTime.invalidate();
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setText(WidgetDrops::dragText(m_widget));
    drag->setMimeData(data);
    drag->setPixmap(grab().scaledToWidth(qMin(width(), 240), Qt::SmoothTransformation));
    drag->exec(Qt::MoveAction);
}

void WidgetContainer::dragEnterEvent(QDragEnterEvent* event) {
    if (!isDashboardDrag(event->mimeData()))
        return;
    event->acceptProposedAction();
    setTargeted(true);
}

void WidgetContainer::dragLeaveEvent(QDragLeaveEvent*) {
    setTargeted(false);
}

void WidgetContainer::dropEvent(QDropEvent* event) {
    setTargeted(false);
    if (!isDashboardDrag(event->mimeData()))
        return;
    event->acceptProposedAction();
    // The drop may rebuild the dashboard, which replaces this tile: finish the event first.
    const QString text = event->mimeData()->text();
    const WidgetKind target = m_widget;
    TarnStore& store = m_store;
    QMetaObject::invokeMethod(
            &store, [text, target, &store] { WidgetDrops::drop(text, target, store); },
            Qt::QueuedConnection);
}

// The page's view takes every mouse and drag event inside the tile: watch all its widgets, the
// ones it creates later included.
void WidgetContainer::watchForDrags(QObject* object) {
    object->installEventFilter(this);
    for (QObject* child : object->children())
        watchForDrags(child);
}

bool WidgetContainer::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ChildAdded:
        watchForDrags(static_cast<QChildEvent*>(event)->child());
        break;
    case QEvent::DragEnter:
        dragEnterEvent(static_cast<QDragEnterEvent*>(event));
        return true;
    case QEvent::DragMove:
        if (isDashboardDrag(static_cast<QDragMoveEvent*>(event)->mimeData()))
            static_cast<QDragMoveEvent*>(event)->acceptProposedAction();
        return true;
    case QEvent::DragLeave:
        dragLeaveEvent(static_cast<QDragLeaveEvent*>(event));
        return true;
    case QEvent::Drop:
        dropEvent(static_cast<QDropEvent*>(event));
        return true;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            m_pressPosition = mouse->globalPosition().toPoint();
            m_pressTime.start();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if ((mouse->buttons() & Qt::LeftButton) && m_pressTime.isValid() &&
            m_pressTime.elapsed() >= holdToDragMilliseconds &&
            (mouse->globalPosition().toPoint() - m_pressPosition).manhattanLength() >=
                    QApplication::startDragDistance()) {
            startDrag();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        m_pressTime.invalidate();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
