#pragma once

#include "touch/TouchContacts.h"

#include <QColor>
#include <QWidget>

// Drawn over a touch surface's content: the pressed region's frame, during a widget drag the
// tile that would take the drop and a badge with the dragged widget's name. Draws nothing
// without feedback; takes no input.
class TouchFeedbackOverlay : public QWidget {
    Q_OBJECT

public:
    static constexpr double pressedRadius = 12;
    static constexpr double pressedLine = 2;
    static constexpr double dropRadius = 22;
    static constexpr double dropLine = 3;

    explicit TouchFeedbackOverlay(QWidget* content);

    void setFeedback(const std::optional<TouchFeedback>& feedback);
    const std::optional<TouchFeedback>& feedback() const { return m_feedback; }
    void setAccent(const QColor& accent);
    void setScale(double scale);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF badgeFrame(const TouchFeedback& feedback) const;
    QRect drawnArea(const std::optional<TouchFeedback>& feedback) const;
    void paintBadge(QPainter& painter, const QRectF& frame, const QString& label) const;
    QFont badgeFont() const;

    std::optional<TouchFeedback> m_feedback;
    QColor m_accent = QColor(0x4C, 0xC2, 0xFF);
    double m_scale = 1;
};
