#pragma once

#include "touch/DelayedTasks.h"

#include <QVariantAnimation>
#include <QWidget>
#include <optional>

// Drawn over the page: the page indicator (one dot per page, shown for a moment after a page
// change) and the toast. Takes no input.
class DashboardOverlay : public QWidget {
    Q_OBJECT

public:
    static constexpr int indicatorHoldMilliseconds = 2000;

    // The indicator's hold runs on `tasks`.
    DashboardOverlay(DelayedTasks& tasks, QWidget* parent);
    ~DashboardOverlay() override;

    // The canvas's frame in this widget and its scale, so everything is drawn in canvas points.
    void setCanvas(const QRectF& frame, double scale);
    void setPages(int count, int current);
    void setToast(const std::optional<QString>& toast);
    const std::optional<QString>& toast() const { return m_toast; }
    // Shows the indicator, holds it 2 s, hides it; a newer call starts over.
    void flashPageIndicator();
    double indicatorOpacity() const { return m_indicatorOpacity; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fade(double to, int milliseconds);
    void paintIndicator(QPainter& painter);
    void paintToast(QPainter& painter);

    QRectF m_canvas;
    double m_scale = 1;
    int m_pageCount = 0;
    int m_currentPage = 0;
    std::optional<QString> m_toast;
    double m_indicatorOpacity = 0;
    QVariantAnimation m_fade;
    DelayedTasks& m_tasks;
    DelayedTasks::Handle m_hold = 0;
};
