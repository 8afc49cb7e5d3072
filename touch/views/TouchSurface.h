#pragma once

#include "touch/DirectTouchController.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUuid>

class QWidget;
class TouchFeedbackOverlay;

// Makes a window's content a touch surface of direct touch: registers the content as the
// surface's view, collects the regions of the marked controls and region sources inside it (in
// the content's coordinates, outer widgets first) and sends them whenever an id, a frame, an
// enabled state or a drag item changed, and draws the touch feedback over the content. Lives as
// long as the content; its end removes the surface.
class TouchSurface : public QObject {
    Q_OBJECT

public:
    TouchSurface(DirectTouchController& touch, QWidget* content, bool isDashboard);
    ~TouchSurface() override;

    QUuid id() const { return m_id; }
    const QList<TouchRegion>& regions() const { return m_sent; }
    int regionUpdates() const { return m_updates; }
    TouchFeedbackOverlay* overlay() const { return m_overlay; }
    // The feedback's colour and its size per point (a scaled dashboard draws it scaled too).
    void setAccent(const QColor& accent);
    void setScale(double scale);
    // Collects and sends the regions now, if they changed; otherwise this happens on the next
    // turn of the event loop after a change.
    void collect();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QObject* object);
    void gather(QWidget* widget, const QRectF& clip, QList<TouchRegion>& regions) const;
    void feedbackChanged();

    QPointer<DirectTouchController> m_touch;
    QPointer<QWidget> m_content;
    QUuid m_id;
    TouchFeedbackOverlay* m_overlay;
    QTimer m_collectSoon;
    QList<TouchRegion> m_sent;
    int m_updates = 0;
};
