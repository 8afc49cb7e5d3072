#include "WidgetFailurePanel.h"

#include "model/ThemeColors.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

WidgetFailurePanel::WidgetFailurePanel(const QString& name, QWidget* parent)
    : QWidget(parent), m_name(new QLabel(name, this)), m_message(new QLabel(this)),
      m_reload(new QPushButton(tr("Reload widget"), this)) {
    m_name->setAlignment(Qt::AlignCenter);
    m_name->setWordWrap(true);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_reload->setCursor(Qt::PointingHandCursor);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_name);
    layout->addWidget(m_message);
    layout->addWidget(m_reload, 0, Qt::AlignHCenter);
    layout->addStretch();
    setZoom(1);
}

void WidgetFailurePanel::setMessage(const QString& message) {
    m_message->setText(message);
}

QString WidgetFailurePanel::message() const {
    return m_message->text();
}

void WidgetFailurePanel::setZoom(double zoom) {
    m_zoom = zoom;
    const auto points = [zoom](double size) { return qMax(1, qRound(size * zoom)); };
    const QString text = ThemeColors::text.to<QColor>().name();
    const QString muted = ThemeColors::muted.to<QColor>().name();
    m_name->setStyleSheet(QStringLiteral("color: %1; font-size: %2px; font-weight: 600;")
                                  .arg(text)
                                  .arg(points(22)));
    m_message->setStyleSheet(
            QStringLiteral("color: %1; font-size: %2px;").arg(muted).arg(points(16)));
    m_reload->setStyleSheet(
            QStringLiteral("QPushButton { color: %1; background: rgba(255,255,255,0.1); border: "
                           "none; border-radius: %2px; font-size: %3px; font-weight: 600; "
                           "padding: %4px %5px; } QPushButton:pressed { background: "
                           "rgba(255,255,255,0.2); }")
                    .arg(text)
                    .arg(points(18))
                    .arg(points(16))
                    .arg(points(9))
                    .arg(points(20)));
    fit();
}

void WidgetFailurePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fit();
}

// A tile as small as the layout editor allows keeps what went wrong and the button: its name is
// the tile's widget anyway.
void WidgetFailurePanel::fit() {
    const QSizeF tile = QSizeF(size()) / m_zoom;
    const bool small = tile.width() < 300;
    const int margin = qRound((small ? 12 : 20) * m_zoom);
    layout()->setContentsMargins(margin, margin, margin, margin);
    layout()->setSpacing(qRound((small ? 8 : 10) * m_zoom));
    m_name->setVisible(!small || tile.height() >= 260);
}

void WidgetFailurePanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ThemeColors::surface.to<QColor>());
}
