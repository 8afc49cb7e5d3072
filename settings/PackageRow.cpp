#include "PackageRow.h"

#include "dashboard/TarnTheme.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

// The preview's room in a row, width over height: a usual tile fills its height, a wide one its
// width.
constexpr double previewAspect = 1.4;

} // namespace

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

void paintPackagePreview(QPainter& painter, const QRectF& frame, const QImage& preview,
                         const QString& name, const QColor& accent) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath card;
    card.addRoundedRect(frame, 6, 6);
    painter.fillPath(card, QColor(255, 255, 255, 10));
    if (preview.isNull()) {
        const double side = std::min(frame.width(), frame.height()) * 0.6;
        QRectF badge(0, 0, side, side);
        badge.moveCenter(frame.center());
        paintPackageBadge(painter, badge, name, accent);
    } else {
        QSizeF fitted = QSizeF(preview.size()).scaled(frame.size(), Qt::KeepAspectRatio);
        QRectF target(QPointF(), fitted);
        target.moveCenter(frame.center());
        QPainterPath clip;
        clip.addRoundedRect(target, 5, 5);
        painter.setClipPath(clip);
        painter.drawImage(target, preview);
    }
    painter.restore();
}

void paintPackageRow(QPainter& painter, const QRectF& frame, const PackageRowLook& look) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(frame.topLeft());
    const double width = frame.width();
    const double height = frame.height();
    if (look.selected || look.hovered) {
        QColor fill = look.selected ? look.accent : QColor(255, 255, 255);
        fill.setAlphaF(look.selected ? 0.14f : 0.05f);
        painter.setBrush(fill);
        painter.setPen(look.selected ? QPen(look.accent, 1) : Qt::NoPen);
        painter.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 10, 10);
    }
    if (look.focused) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(TarnTheme::text(), 1.5));
        painter.drawRoundedRect(QRectF(1, 1, width - 2, height - 2), 9.5, 9.5);
    }
    const QFont base = painter.font();
    const double badge = height - 18;
    const double pictureWidth = look.withPreview ? badge * previewAspect : badge;
    if (look.withPreview)
        paintPackagePreview(painter, QRectF(9, 9, pictureWidth, badge), look.preview, look.name,
                            look.accent);
    else
        paintPackageBadge(painter, QRectF(9, 9, badge, badge), look.name, look.accent);
    const double textLeft = 9 + pictureWidth + 10;
    const double available = width - textLeft - 8;
    QFont font = base;
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    painter.setPen(TarnTheme::text());
    const QFontMetricsF nameMetrics(font);
    const bool twoLines = !look.detail.isEmpty();
    const double nameTop = twoLines ? height / 2.0 - nameMetrics.height() + 1
                                    : (height - nameMetrics.height()) / 2;
    painter.drawText(QRectF(textLeft, nameTop, available, nameMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     nameMetrics.elidedText(look.name, Qt::ElideRight, available));
    if (twoLines) {
        font.setPixelSize(11);
        font.setWeight(QFont::Normal);
        painter.setFont(font);
        painter.setPen(TarnTheme::muted());
        const QFontMetricsF detailMetrics(font);
        painter.drawText(QRectF(textLeft, height / 2.0 + 1, available, detailMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         detailMetrics.elidedText(look.detail, Qt::ElideRight, available));
    }
    painter.restore();
}
