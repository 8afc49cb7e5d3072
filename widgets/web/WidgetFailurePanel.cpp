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
    layout()->setContentsMargins(points(20), points(20), points(20), points(20));
    layout()->setSpacing(points(10));
}

void WidgetFailurePanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ThemeColors::surface.to<QColor>());
}
