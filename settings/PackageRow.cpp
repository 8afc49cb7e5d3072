#include "PackageRow.h"

#include "dashboard/TarnTheme.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

void paintPackageBadge(QPainter& painter, const QRectF& frame, const QString& name,
                       const QColor& accent) {
    QColor fill = accent;
    fill.setAlphaF(0.16f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(frame, frame.width() * 0.28, frame.width() * 0.28);
    QFont font = painter.font();
    font.setPixelSize(int(frame.height() * 0.5));
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    painter.setPen(accent);
    painter.drawText(frame, Qt::AlignCenter, name.left(1).toUpper());
}

PackageRow::PackageRow(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    m_accent = TarnTheme::color(QStringLiteral("#5ee0b5"));
}

void PackageRow::setPackage(const QString& name, const QString& detail) {
    setText(name);
    setAccessibleName(name);
    m_detail = detail;
    update();
}

void PackageRow::setSelected(bool selected) {
    m_selected = selected;
    update();
}

void PackageRow::setAccent(const QColor& accent) {
    m_accent = accent;
    update();
}

QSize PackageRow::sizeHint() const {
    return {220, 52};
}

void PackageRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_selected || m_hovered || isDown()) {
        QColor fill = m_selected ? m_accent : QColor(255, 255, 255);
        fill.setAlphaF(m_selected ? 0.14f : 0.05f);
        painter.setBrush(fill);
        painter.setPen(m_selected ? QPen(m_accent, 1) : Qt::NoPen);
        painter.drawRoundedRect(frame, 10, 10);
    }
    const double badge = height() - 18;
    paintPackageBadge(painter, QRectF(9, 9, badge, badge), text(), m_accent);
    const double textLeft = 9 + badge + 10;
    const double available = width() - textLeft - 8;
    QFont font = this->font();
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    painter.setPen(TarnTheme::text());
    const QFontMetricsF nameMetrics(font);
    const bool twoLines = !m_detail.isEmpty();
    const double nameTop = twoLines ? height() / 2.0 - nameMetrics.height() + 1
                                    : (height() - nameMetrics.height()) / 2;
    painter.drawText(QRectF(textLeft, nameTop, available, nameMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     nameMetrics.elidedText(text(), Qt::ElideRight, available));
    if (twoLines) {
        font.setPixelSize(11);
        font.setWeight(QFont::Normal);
        painter.setFont(font);
        painter.setPen(TarnTheme::muted());
        const QFontMetricsF detailMetrics(font);
        painter.drawText(QRectF(textLeft, height() / 2.0 + 1, available, detailMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         detailMetrics.elidedText(m_detail, Qt::ElideRight, available));
    }
}

void PackageRow::mousePressEvent(QMouseEvent* event) {
    m_pressedAt = event->position().toPoint();
    QAbstractButton::mousePressEvent(event);
}

void PackageRow::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragText.isEmpty() || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - m_pressedAt).manhattanLength() <
                QApplication::startDragDistance()) {
        QAbstractButton::mouseMoveEvent(event);
        return;
    }
    setDown(false);
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setText(m_dragText);
    drag->setMimeData(data);
    QPixmap image(grab());
    drag->setPixmap(image);
    drag->setHotSpot(event->position().toPoint());
    drag->exec(Qt::CopyAction | Qt::MoveAction);
}

void PackageRow::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PackageRow::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}
