#include "DisplayMap.h"

#include "dashboard/TarnTheme.h"
#include "settings/LayoutEditing.h"
#include "store/TarnStore.h"
#include "touch/views/TouchControls.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr double tileInset = 4;
constexpr double bezel = 8;

std::optional<Qt::Edge> sideOf(int key) {
    switch (key) {
    case Qt::Key_Left:
        return Qt::LeftEdge;
    case Qt::Key_Right:
        return Qt::RightEdge;
    case Qt::Key_Up:
        return Qt::TopEdge;
    case Qt::Key_Down:
        return Qt::BottomEdge;
    default:
        return std::nullopt;
    }
}

// A tile is announced as one of a group of radio buttons: one of them is the selected section.
class SectionTileAccessible : public QAccessibleWidget {
public:
    explicit SectionTileAccessible(SectionTile* tile)
        : QAccessibleWidget(tile, QAccessible::RadioButton) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = static_cast<const SectionTile*>(widget())->isSelected();
        return state;
    }
};

QAccessibleInterface* tileAccessible(const QString& className, QObject* object) {
    if (className == QStringLiteral("SectionTile"))
        return new SectionTileAccessible(static_cast<SectionTile*>(object));
    if (className == QStringLiteral("DisplayMap"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Grouping);
    return nullptr;
}

} // namespace

DisplayMap::DisplayMap(LayoutEditing& editing, QWidget* parent)
    : QWidget(parent), m_editing(editing), m_accent(TarnTheme::color(QStringLiteral("#5ee0b5"))) {
    // Before anything is announced: an interface once made for this map is kept.
    static const bool accessible = [] {
        QAccessible::installFactory(tileAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Only to hold the tiles' place in the Tab chain: a click on the bezel passes the focus on.
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleName(QStringLiteral("Sections of the page"));
    connect(&editing, &LayoutEditing::changed, this, &DisplayMap::rebuild);
    rebuild();
}

QList<SectionTile*> DisplayMap::tiles() const {
    QList<SectionTile*> ordered;
    for (const WidgetSection& section : m_editing.layout().sections) {
        if (SectionTile* tile = m_tiles.value(section.id))
            ordered.append(tile);
    }
    return ordered;
}

QSize DisplayMap::sizeHint() const {
    return {640, 200};
}

QSize DisplayMap::minimumSizeHint() const {
    return {200, 120};
}

void DisplayMap::setAccent(const QColor& accent) {
    m_accent = accent;
    rebuild();
}

QRectF DisplayMap::screenFrame() const {
    const double ratio = aspectRatio(m_editing.store().preferences().orientation);
    const QRectF area = QRectF(rect()).adjusted(bezel, bezel, -bezel, -bezel);
    QSizeF size(area.width(), area.width() / ratio);
    if (size.height() > area.height())
        size = QSizeF(area.height() * ratio, area.height());
    QRectF frame(QPointF(), size);
    frame.moveCenter(area.center());
    return frame;
}

void DisplayMap::rebuild() {
    const PageLayout layout = m_editing.layout();
    QHash<QString, SectionTile*> kept;
    int number = 0;
    for (const WidgetSection& section : layout.sections) {
        SectionTile* tile = m_tiles.take(section.id);
        if (!tile) {
            tile = new SectionTile(m_editing, section.id, this);
            tile->show();
        }
        QString label = QStringLiteral("empty");
        QString dragText;
        bool muted = true;
        if (section.widget) {
            const auto package = m_editing.store().widgets().package(*section.widget);
            label = package ? package->manifest.name : QStringLiteral("unavailable widget");
            muted = !package;
            dragText = LayoutEditing::widgetDragPrefix + section.widget->rawValue();
        }
        tile->setContent(++number, label, dragText, m_editing.selected() == section.id, muted,
                         m_accent);
        kept.insert(section.id, tile);
    }
    // A tile may be the source of a drag still running: it goes once that has ended.
    for (SectionTile* gone : std::as_const(m_tiles)) {
        gone->hide();
        gone->deleteLater();
    }
    m_tiles = kept;
    chainTiles();
    placeTiles();
    update();
}

// New tiles would join the Tab chain at the window's end: they follow the map, in page order.
void DisplayMap::chainTiles() {
    QWidget* previous = this;
    for (SectionTile* tile : tiles()) {
        setTabOrder(previous, tile);
        previous = tile;
    }
    makeTabStop(tabStop());
}

SectionTile* DisplayMap::tabStop() const {
    const QList<SectionTile*> ordered = tiles();
    for (SectionTile* tile : ordered) {
        if (tile->hasFocus())
            return tile;
    }
    if (SectionTile* selected = m_editing.selected() ? tile(*m_editing.selected()) : nullptr)
        return selected;
    return ordered.value(0);
}

void DisplayMap::makeTabStop(SectionTile* stop) {
    for (SectionTile* tile : std::as_const(m_tiles))
        tile->setFocusPolicy(tile == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

void DisplayMap::focusSection(const QString& sectionID) {
    if (SectionTile* tile = m_tiles.value(sectionID))
        tile->setFocus(Qt::TabFocusReason);
}

void DisplayMap::focusInEvent(QFocusEvent* event) {
    if (SectionTile* tile = tabStop())
        tile->setFocus(event->reason());
}

void DisplayMap::placeTiles() {
    const QRectF screen = screenFrame();
    for (const WidgetSection& section : m_editing.layout().sections) {
        SectionTile* tile = m_tiles.value(section.id);
        if (!tile)
            continue;
        const QRectF frame(screen.x() + section.x * screen.width(),
                           screen.y() + section.y * screen.height(), section.width * screen.width(),
                           section.height * screen.height());
        tile->setGeometry(frame.adjusted(tileInset, tileInset, -tileInset, -tileInset).toRect());
    }
}

void DisplayMap::resizeEvent(QResizeEvent*) {
    placeTiles();
}

void DisplayMap::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF screen = screenFrame();
    painter.setPen(QPen(QColor(255, 255, 255, 36), 1));
    painter.setBrush(QColor(0, 0, 0));
    painter.drawRoundedRect(screen.adjusted(-bezel + 2, -bezel + 2, bezel - 2, bezel - 2), 14, 14);
}

// ---- SectionTile

SectionTile::SectionTile(LayoutEditing& editing, const QString& sectionID, QWidget* parent)
    : QWidget(parent), m_editing(editing), m_sectionID(sectionID) {
    setAcceptDrops(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleDescription(
            QStringLiteral("Arrow keys choose a section, Control with an arrow moves its widget, "
                           "Delete removes it"));
    TouchControls::setAction(this, QStringLiteral("layout-section-") + sectionID,
                             [this] { m_editing.select(m_sectionID); });
}

void SectionTile::setContent(int number, const QString& label, const QString& dragText,
                             bool selected, bool muted, const QColor& accent) {
    m_number = number;
    m_label = label;
    m_dragText = dragText;
    m_selected = selected;
    m_muted = muted;
    m_accent = accent;
    setAccessibleName(QStringLiteral("%1 %2").arg(number, 2, 10, QLatin1Char('0')).arg(label));
    update();
}

void SectionTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(1, 1, -1, -1);
    QColor fill = m_selected ? m_accent : TarnTheme::surface().lighter(m_muted ? 110 : 150);
    fill.setAlphaF(m_selected ? 0.22f : 1.0f);
    painter.setBrush(fill);
    QPen outline(m_selected || m_dropHover ? m_accent : QColor(255, 255, 255, 30),
                 m_selected || m_dropHover ? 2 : 1);
    if (m_dropHover)
        outline.setStyle(Qt::DashLine);
    painter.setPen(outline);
    const double radius = std::min(10.0, std::min(frame.width(), frame.height()) / 4);
    painter.drawRoundedRect(frame, radius, radius);
    if (hasFocus()) {
        painter.setPen(QPen(TarnTheme::text(), 1.5));
        painter.setBrush(Qt::NoBrush);
        const double inset = 3.5;
        painter.drawRoundedRect(frame.adjusted(inset, inset, -inset, -inset),
                                std::max(0.0, radius - inset), std::max(0.0, radius - inset));
    }

    const double pad = std::min(10.0, frame.width() / 8);
    const QRectF inner = frame.adjusted(pad, pad - 2, -pad, -pad + 2);
    const QString number = QStringLiteral("%1").arg(m_number, 2, 10, QLatin1Char('0'));
    QFont numberFont = this->font();
    numberFont.setPixelSize(11);
    numberFont.setWeight(QFont::DemiBold);
    QFont nameFont = this->font();
    nameFont.setPixelSize(13);
    nameFont.setWeight(m_muted ? QFont::Normal : QFont::DemiBold);
    const QFontMetricsF numberMetrics(numberFont);
    const QFontMetricsF nameMetrics(nameFont);
    const QColor numberColour = m_selected ? m_accent : TarnTheme::muted();
    const QColor nameColour = m_muted ? TarnTheme::muted() : TarnTheme::text();
    // Low tiles (many stacked, or a tall display's small map) put both on one line.
    const bool oneLine = inner.height() < numberMetrics.height() + nameMetrics.height() + 4;
    painter.setFont(numberFont);
    painter.setPen(numberColour);
    if (!oneLine) {
        painter.drawText(inner, Qt::AlignLeft | Qt::AlignTop, number);
        painter.setFont(nameFont);
        painter.setPen(nameColour);
        painter.drawText(inner, Qt::AlignLeft | Qt::AlignBottom,
                         nameMetrics.elidedText(m_label, Qt::ElideRight, inner.width()));
        return;
    }
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, number);
    const double nameLeft = numberMetrics.horizontalAdvance(number) + 6;
    const QRectF nameFrame = inner.adjusted(nameLeft, 0, 0, 0);
    if (nameFrame.width() < nameMetrics.horizontalAdvance(QStringLiteral("W…")))
        return;
    painter.setFont(nameFont);
    painter.setPen(nameColour);
    painter.drawText(nameFrame, Qt::AlignLeft | Qt::AlignVCenter,
                     nameMetrics.elidedText(m_label, Qt::ElideRight, nameFrame.width()));
}

DisplayMap* SectionTile::map() const {
    return qobject_cast<DisplayMap*>(parentWidget());
}

void SectionTile::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (DisplayMap* map = this->map())
        map->makeTabStop(this);
}

void SectionTile::keyPressEvent(QKeyEvent* event) {
    const auto side = sideOf(event->key());
    const bool holdsWidget = !m_dragText.isEmpty();
    const QString sectionID = m_sectionID;
    LayoutEditing& editing = m_editing;
    DisplayMap* map = this->map();
    if (side && (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        if (holdsWidget) {
            editing.select(sectionID);
            editing.moveWidget(*side);
        }
    } else if (side) {
        // While a package waits for a section, arrows only look: selecting would place it.
        const auto next = editing.neighbour(sectionID, *side);
        if (next && !editing.placing())
            editing.select(*next);
        if (next && map)
            map->focusSection(*next);
        return;
    } else if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        if (holdsWidget) {
            editing.select(sectionID);
            editing.removeWidget();
        }
    } else if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
               event->key() == Qt::Key_Enter) {
        editing.select(sectionID);
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    if (map && editing.selected())
        map->focusSection(*editing.selected());
}

void SectionTile::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_pressedAt = event->position().toPoint();
}

void SectionTile::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed || m_dragText.isEmpty() ||
        (event->position().toPoint() - m_pressedAt).manhattanLength() <
                QApplication::startDragDistance())
        return;
    m_pressed = false;
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setText(m_dragText);
    drag->setMimeData(data);
    drag->setPixmap(grab());
    drag->setHotSpot(event->position().toPoint());
    drag->exec(Qt::MoveAction);
}

void SectionTile::mouseReleaseEvent(QMouseEvent* event) {
    if (std::exchange(m_pressed, false) && rect().contains(event->position().toPoint()))
        m_editing.select(m_sectionID);
}

void SectionTile::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasText())
        return;
    event->acceptProposedAction();
    m_dropHover = true;
    update();
}

void SectionTile::dragLeaveEvent(QDragLeaveEvent*) {
    m_dropHover = false;
    update();
}

void SectionTile::dropEvent(QDropEvent* event) {
    m_dropHover = false;
    update();
    const QString text = event->mimeData()->text();
    const QString target = m_sectionID;
    LayoutEditing& editing = m_editing;
    // The drop may rebuild the map and with it this tile: nothing of the tile is used after it.
    event->acceptProposedAction();
    QMetaObject::invokeMethod(
            &editing, [&editing, text, target] { editing.receive(text, target); },
            Qt::QueuedConnection);
}
