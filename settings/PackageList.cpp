#include "PackageList.h"

#include "dashboard/TarnTheme.h"
#include "settings/PackageRow.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

constexpr int rowHeight = 52;
constexpr int previewRowHeight = 72;
constexpr int rowSpacing = 2;
// Room between the rows and the scroll bar.
constexpr int scrollBarGap = 4;

// The part of an item's cell that its row covers.
QRect rowFrame(const QRect& cell) {
    return cell.adjusted(0, 0, -scrollBarGap, -rowSpacing);
}

} // namespace

class PackageListModel : public QAbstractListModel {
public:
    QList<PackageList::Row> rows;
    std::optional<QString> selectedID;
    QColor accent = TarnTheme::color(QStringLiteral("#5ee0b5"));
    QString dragPrefix;
    QString toolTip;
    bool previews = false;

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(rows.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rows.size())
            return {};
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return rows[index.row()].name;
        if (role == Qt::ToolTipRole && !toolTip.isEmpty())
            return toolTip;
        return {};
    }

    // Rows of the same packages in the same order are only redrawn: the list keeps its place.
    void setRows(const QList<PackageList::Row>& next) {
        const bool samePackages = std::equal(
                next.begin(), next.end(), rows.begin(), rows.end(),
                [](const PackageList::Row& a, const PackageList::Row& b) { return a.id == b.id; });
        if (!samePackages)
            beginResetModel();
        rows = next;
        if (!samePackages)
            endResetModel();
        else if (!rows.isEmpty())
            emit dataChanged(index(0), index(int(rows.size()) - 1));
    }
};

namespace {

class PackageRowDelegate : public QStyledItemDelegate {
public:
    PackageRowDelegate(const PackageListModel& model, PackageList* list)
        : QStyledItemDelegate(list), m_model(model), m_list(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const PackageList::Row& row = m_model.rows[index.row()];
        painter->setFont(option.font);
        paintPackageRow(*painter, rowFrame(option.rect),
                        {row.name, row.detail, m_model.accent, row.id == m_model.selectedID,
                         bool(option.state & QStyle::State_MouseOver),
                         bool(option.state & QStyle::State_HasFocus), m_model.previews,
                         row.preview});
        if (m_model.previews && row.preview.isNull())
            QMetaObject::invokeMethod(
                    m_list, [list = m_list, id = row.id] { emit list->previewWanted(id); },
                    Qt::QueuedConnection);
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {220, (m_model.previews ? previewRowHeight : rowHeight) + rowSpacing};
    }

private:
    const PackageListModel& m_model;
    PackageList* m_list;
};

} // namespace

PackageList::PackageList(QWidget* parent) : QListView(parent), m_model(new PackageListModel) {
    m_model->setParent(this);
    setModel(m_model);
    setItemDelegate(new PackageRowDelegate(*m_model, this));
    setUniformItemSizes(true);
    setSelectionMode(NoSelection);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    viewport()->setCursor(Qt::PointingHandCursor);
    setStyleSheet(QStringLiteral("QListView { background: transparent; border: none; }"));
    connect(this, &QListView::clicked, this,
            [this](const QModelIndex& index) { emit chosen(m_model->rows[index.row()].id); });
}

void PackageList::setRows(const QList<Row>& rows) {
    if (rows == m_model->rows)
        return;
    m_model->setRows(rows);
    TouchControls::regionsChanged(this);
}

const QList<PackageList::Row>& PackageList::rows() const {
    return m_model->rows;
}

void PackageList::setSelectedID(const std::optional<QString>& id) {
    if (id == m_model->selectedID)
        return;
    m_model->selectedID = id;
    viewport()->update();
}

void PackageList::setAccent(const QColor& accent) {
    if (accent == m_model->accent)
        return;
    m_model->accent = accent;
    viewport()->update();
}

void PackageList::setShowsPreviews(bool previews) {
    if (previews == m_model->previews)
        return;
    m_model->previews = previews;
    // Uniform rows keep the first row's height until the layout is made again.
    doItemsLayout();
    TouchControls::regionsChanged(this);
}

void PackageList::setDragPrefix(const QString& prefix) {
    m_model->dragPrefix = prefix;
}

void PackageList::setTouchPrefix(const QString& prefix) {
    m_touchPrefix = prefix;
    TouchControls::regionsChanged(this);
}

void PackageList::setRowToolTip(const QString& text) {
    m_model->toolTip = text;
}

QString PackageList::dragText(int row) const {
    if (m_model->dragPrefix.isEmpty() || row < 0 || row >= m_model->rows.size())
        return QString();
    return m_model->dragPrefix + m_model->rows[row].id;
}

QList<TouchRegion> PackageList::touchRegions() const {
    QList<TouchRegion> regions;
    if (m_touchPrefix.isEmpty())
        return regions;
    const QRect shown = viewport()->geometry();
    const QPointer<PackageList> self(const_cast<PackageList*>(this));
    for (int row = indexAt(QPoint(0, 0)).row(); row >= 0 && row < m_model->rows.size(); ++row) {
        const QRect cell = visualRect(m_model->index(row));
        if (cell.top() >= shown.height())
            break;
        // At the top, only the gap under a row may be in view.
        const QRect frame = rowFrame(cell).translated(shown.topLeft()) & shown;
        if (frame.isEmpty())
            continue;
        const QString id = m_model->rows[row].id;
        regions.append({m_touchPrefix + id, QRectF(frame), true, std::nullopt, [self, id] {
                            if (self)
                                emit self->chosen(id);
                        }});
    }
    return regions;
}

void PackageList::keyPressEvent(QKeyEvent* event) {
    const bool choose = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                        event->key() == Qt::Key_Space;
    if (choose && currentIndex().isValid()) {
        emit chosen(m_model->rows[currentIndex().row()].id);
        return;
    }
    QListView::keyPressEvent(event);
}

void PackageList::mousePressEvent(QMouseEvent* event) {
    m_pressedAt = event->position().toPoint();
    QListView::mousePressEvent(event);
}

void PackageList::mouseMoveEvent(QMouseEvent* event) {
    const bool dragging = !m_model->dragPrefix.isEmpty() && (event->buttons() & Qt::LeftButton) &&
                          (event->position().toPoint() - m_pressedAt).manhattanLength() >=
                                  QApplication::startDragDistance();
    const QModelIndex pressed = dragging ? indexAt(m_pressedAt) : QModelIndex();
    if (!pressed.isValid()) {
        QListView::mouseMoveEvent(event);
        return;
    }
    drag(pressed);
}

void PackageList::drag(const QModelIndex& index) {
    auto* data = new QMimeData;
    data->setText(dragText(index.row()));
    const QRect frame = rowFrame(visualRect(index));
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(viewport()->grab(frame));
    drag->setHotSpot(m_pressedAt - frame.topLeft());
    drag->exec(Qt::CopyAction | Qt::MoveAction);
}

void PackageList::scrollContentsBy(int dx, int dy) {
    QListView::scrollContentsBy(dx, dy);
    // The rows in view moved under the touch regions.
    TouchControls::regionsChanged(this);
}
