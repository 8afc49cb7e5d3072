#include "DashboardOverlay.h"

#include "dashboard/TarnTheme.h"

#include <QPainter>

namespace {

// The translucent capsule behind the indicator and the toast.
void paintCapsule(QPainter& painter, const QRectF& box) {
    painter.setPen(QPen(QColor(255, 255, 255, 28), 1));
    painter.setBrush(QColor(38, 42, 44, 215));
    painter.drawRoundedRect(box, box.height() / 2, box.height() / 2);
}

} // namespace

DashboardOverlay::DashboardOverlay(DelayedTasks& tasks, QWidget* parent)
    : QWidget(parent), m_tasks(tasks) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(tr("Page indicator"));
    m_fade.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_indicatorOpacity = value.toDouble();
        update();
    });
}

DashboardOverlay::~DashboardOverlay() {
    m_tasks.cancel(m_hold);
}

void DashboardOverlay::setCanvas(const QRectF& frame, double scale) {
    m_canvas = frame;
    m_scale = scale;
    update();
}

void DashboardOverlay::setPages(int count, int current) {
    if (count == m_pageCount && current == m_currentPage)
        return;
    m_pageCount = count;
    m_currentPage = current;
    update();
}

void DashboardOverlay::setToast(const std::optional<QString>& toast) {
    m_toast = toast;
    update();
}

void DashboardOverlay::flashPageIndicator() {
    m_tasks.cancel(m_hold);
    fade(1, 150);
    m_hold = m_tasks.schedule((150 + indicatorHoldMilliseconds) / 1000.0, [this] {
        m_hold = 0;
        fade(0, 350);
    });
}

void DashboardOverlay::fade(double to, int milliseconds) {
    m_fade.stop();
    m_fade.setStartValue(m_indicatorOpacity);
    m_fade.setEndValue(to);
    m_fade.setDuration(milliseconds);
    m_fade.start();
}

void DashboardOverlay::paintEvent(QPaintEvent*) {
    if (m_canvas.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(m_canvas.topLeft());
    painter.scale(m_scale, m_scale);
    if (m_indicatorOpacity > 0 && m_pageCount > 0)
        paintIndicator(painter);
    if (m_toast)
        paintToast(painter);
}

void DashboardOverlay::paintIndicator(QPainter& painter) {
    constexpr double dot = 7, spacing = 8, padX = 15, padY = 10, bottom = 20;
    const QSizeF canvas = m_canvas.size() / m_scale;
    const double width = m_pageCount * dot + (m_pageCount - 1) * spacing + 2 * padX;
    const double height = dot + 2 * padY;
    const QRectF capsule((canvas.width() - width) / 2, canvas.height() - bottom - height, width,
                         height);
    painter.setOpacity(m_indicatorOpacity);
    paintCapsule(painter, capsule);
    painter.setPen(Qt::NoPen);
    for (int page = 0; page < m_pageCount; ++page) {
        painter.setBrush(page == m_currentPage ? QColor(255, 255, 255) : QColor(255, 255, 255, 77));
        painter.drawEllipse(QRectF(capsule.left() + padX + page * (dot + spacing),
                                   capsule.top() + padY, dot, dot));
    }
    painter.setOpacity(1);
}

void DashboardOverlay::paintToast(QPainter& painter) {
    constexpr double padding = 16, bottom = 26;
    const QSizeF canvas = m_canvas.size() / m_scale;
    QFont font = painter.font();
    font.setPixelSize(15);
    font.setWeight(QFont::Medium);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const QString text = metrics.elidedText(*m_toast, Qt::ElideRight, canvas.width() - 120);
    const QSizeF box(metrics.horizontalAdvance(text) + 2 * padding, metrics.height() + 2 * padding);
    const QRectF capsule((canvas.width() - box.width()) / 2,
                         canvas.height() - bottom - box.height(), box.width(), box.height());
    paintCapsule(painter, capsule);
    painter.setPen(TarnTheme::text());
    painter.drawText(capsule, Qt::AlignCenter, text);
}
