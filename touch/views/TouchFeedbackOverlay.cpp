#include "TouchFeedbackOverlay.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr double badgeInset = 16;
constexpr double badgeFontSize = 16;
constexpr double badgeLift = 28; // the badge floats above the finger, where it can be seen

QColor withOpacity(QColor colour, double opacity) {
    colour.setAlphaF(float(opacity));
    return colour;
}

// A hand with four raised fingers, in a square of the given size.
QPainterPath hand(const QRectF& box) {
    QPainterPath path;
    const double unit = box.width() / 10;
    path.addRoundedRect(
            QRectF(box.left() + 2 * unit, box.top() + 4.5 * unit, 6.5 * unit, 5.5 * unit), 2 * unit,
            2 * unit);
    for (int finger = 0; finger < 4; ++finger) {
        const double left = box.left() + 2 * unit + finger * 1.65 * unit;
        path.addRoundedRect(QRectF(left,
                                   box.top() + (finger == 0 || finger == 3 ? 1.5 : 0.5) * unit,
                                   1.3 * unit, 5 * unit),
                            0.65 * unit, 0.65 * unit);
    }
    path.addRoundedRect(QRectF(box.left(), box.top() + 4 * unit, 1.4 * unit, 4 * unit), 0.7 * unit,
                        0.7 * unit);
    return path.simplified();
}

} // namespace

TouchFeedbackOverlay::TouchFeedbackOverlay(QWidget* content) : QWidget(content) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    // Always there, drawing only what changed: showing and hiding a widget over the whole
    // surface would repaint everything beneath it at every touch.
    setGeometry(content->rect());
    show();
}

void TouchFeedbackOverlay::setAccent(const QColor& accent) {
    if (accent == m_accent)
        return;
    m_accent = accent;
    update();
}

void TouchFeedbackOverlay::setScale(double scale) {
    if (scale <= 0 || scale == m_scale)
        return;
    m_scale = scale;
    update();
}

void TouchFeedbackOverlay::setFeedback(const std::optional<TouchFeedback>& feedback) {
    // Only what is drawn repaints: a finger moving over a pressed control changes nothing here.
    const QRect before = drawnArea(m_feedback);
    const QRect after = drawnArea(feedback);
    const bool appearing = feedback && !m_feedback;
    m_feedback = feedback;
    if (appearing) {
        // Widgets added to the content since last time would cover it.
        if (parentWidget() && geometry() != parentWidget()->rect())
            setGeometry(parentWidget()->rect());
        raise();
    }
    if (before != after)
        update(before.united(after));
}

QRect TouchFeedbackOverlay::drawnArea(const std::optional<TouchFeedback>& feedback) const {
    if (!feedback)
        return {};
    const double margin = dropLine * m_scale + 2;
    QRectF area;
    for (const auto& frame : {feedback->frame, feedback->dropFrame}) {
        if (frame)
            area = area.united(frame->adjusted(-margin, -margin, margin, margin));
    }
    if (feedback->dragLabel)
        area = area.united(badgeFrame(*feedback).adjusted(-2, -2, 2, 2));
    return area.toAlignedRect();
}

QFont TouchFeedbackOverlay::badgeFont() const {
    QFont font = this->font();
    font.setPixelSize(qMax(1, qRound(badgeFontSize * m_scale)));
    font.setWeight(QFont::DemiBold);
    return font;
}

QRectF TouchFeedbackOverlay::badgeFrame(const TouchFeedback& feedback) const {
    const QFontMetricsF metrics(badgeFont());
    const double inset = badgeInset * m_scale;
    const double icon = metrics.height();
    const QSizeF size(inset * 2 + icon + inset / 2 + metrics.horizontalAdvance(*feedback.dragLabel),
                      inset * 2 + metrics.height());
    QRectF frame(QPointF(feedback.point.x() - size.width() / 2,
                         feedback.point.y() - badgeLift * m_scale - size.height()),
                 size);
    // Kept inside the surface, below the finger when there is no room above.
    if (frame.top() < 0)
        frame.moveTop(feedback.point.y() + badgeLift * m_scale);
    frame.moveLeft(std::clamp(frame.left(), 0.0, std::max(0.0, width() - frame.width())));
    return frame;
}

void TouchFeedbackOverlay::paintEvent(QPaintEvent*) {
    if (!m_feedback)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_feedback->frame) {
        const double radius = pressedRadius * m_scale;
        painter.setPen(QPen(withOpacity(m_accent, 0.7), pressedLine * m_scale));
        painter.setBrush(withOpacity(m_accent, 0.13));
        painter.drawRoundedRect(*m_feedback->frame, radius, radius);
    }
    if (m_feedback->dropFrame) {
        const double radius = dropRadius * m_scale;
        painter.setPen(QPen(m_accent, dropLine * m_scale));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(*m_feedback->dropFrame, radius, radius);
    }
    if (m_feedback->dragLabel)
        paintBadge(painter, badgeFrame(*m_feedback), *m_feedback->dragLabel);
}

void TouchFeedbackOverlay::paintBadge(QPainter& painter, const QRectF& frame,
                                      const QString& label) const {
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
    painter.setBrush(QColor(30, 34, 36, 235));
    painter.drawRoundedRect(frame, frame.height() / 2, frame.height() / 2);
    const QFont font = badgeFont();
    const QFontMetricsF metrics(font);
    const double inset = badgeInset * m_scale;
    const QRectF icon(frame.left() + inset, frame.top() + inset, metrics.height(),
                      metrics.height());
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_accent);
    painter.drawPath(hand(icon));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(icon.right() + inset / 2, frame.top(),
                            frame.right() - inset - icon.right() - inset / 2, frame.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, label);
}
