#include "TouchSurface.h"

#include "touch/views/TouchControls.h"
#include "touch/views/TouchFeedbackOverlay.h"

#include <QChildEvent>
#include <QWidget>

TouchSurface::TouchSurface(DirectTouchController& touch, QWidget* content, bool isDashboard)
    : QObject(content), m_touch(&touch), m_content(content), m_id(QUuid::createUuid()),
      m_overlay(new TouchFeedbackOverlay(content)) {
    m_collectSoon.setSingleShot(true);
    m_collectSoon.setInterval(0);
    connect(&m_collectSoon, &QTimer::timeout, this, &TouchSurface::collect);
    connect(&touch, &DirectTouchController::feedbackChanged, this, &TouchSurface::feedbackChanged);
    touch.attachSurface(m_id, content, isDashboard);
    watch(content);
    collect();
}

TouchSurface::~TouchSurface() {
    if (m_touch)
        m_touch->removeSurface(m_id);
}

void TouchSurface::setAccent(const QColor& accent) {
    m_overlay->setAccent(accent);
}

void TouchSurface::setScale(double scale) {
    m_overlay->setScale(scale);
}

// Every widget inside the content is watched for what moves a region; new ones as they come.
void TouchSurface::watch(QObject* object) {
    if (object == m_overlay)
        return;
    object->installEventFilter(this);
    for (QObject* child : object->children()) {
        if (child->isWidgetType())
            watch(child);
    }
}

bool TouchSurface::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (QObject* child = static_cast<QChildEvent*>(event)->child(); child->isWidgetType())
            watch(child);
        m_collectSoon.start();
        break;
    case QEvent::ChildRemoved:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::EnabledChange:
    case QEvent::ParentChange:
    case QEvent::ZOrderChange:
        m_collectSoon.start();
        break;
    default:
        if (event->type() == TouchControls::regionsChangedEvent())
            m_collectSoon.start();
        break;
    }
    return QObject::eventFilter(watched, event);
}

void TouchSurface::collect() {
    m_collectSoon.stop();
    if (!m_content || !m_touch)
        return;
    QList<TouchRegion> regions;
    gather(m_content, QRectF(m_content->rect()), regions);
    if (regions == m_sent && m_updates > 0)
        return;
    m_sent = regions;
    ++m_updates;
    m_touch->updateRegions(m_id, std::move(regions));
}

// Regions are cut to what the widgets around them show: a control scrolled out of its view
// takes no touches meant for what now lies there.
void TouchSurface::gather(QWidget* widget, const QRectF& clip, QList<TouchRegion>& regions) const {
    const QPointF origin = widget->mapTo(m_content, QPointF(0, 0));
    const QRectF shown = clip.intersected(QRectF(origin, QSizeF(widget->size())));
    const auto place = [&](QList<TouchRegion> found) {
        for (TouchRegion& region : found) {
            region.frame = region.frame.translated(origin).intersected(shown);
            if (!region.frame.isEmpty())
                regions.append(std::move(region));
        }
    };
    place(TouchControls::regionsOf(widget));
    if (const auto* source = dynamic_cast<const TouchRegionSource*>(widget))
        place(source->touchRegions());
    for (QObject* child : widget->children()) {
        auto* inner = qobject_cast<QWidget*>(child);
        if (inner && !inner->isWindow() && !inner->isHidden() && inner != m_overlay)
            gather(inner, shown, regions);
    }
}

void TouchSurface::feedbackChanged() {
    const auto& feedback = m_touch->feedback();
    m_overlay->setFeedback(feedback && feedback->surface == m_id ? feedback : std::nullopt);
}
