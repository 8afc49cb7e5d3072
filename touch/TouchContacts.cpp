#include "TouchContacts.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double verticalRatio = 1.2;   // a scroll is this much steeper than wide
constexpr double horizontalRatio = 1.5; // a page drag is this much wider than steep
constexpr double pressedDistance = 18;  // the pressed frame shows while the finger stays close
constexpr double shortestStep = 0.008;  // seconds: a floor for the scroll speed's time step

// The top and left edges belong to a frame, the bottom and right ones to its neighbours.
bool contains(const QRectF& frame, QPointF point) {
    return point.x() >= frame.left() && point.x() < frame.right() && point.y() >= frame.top() &&
           point.y() < frame.bottom();
}

const TouchRegion* firstPlain(const QList<TouchRegion>& regions, QPointF point) {
    for (const TouchRegion& region : regions) {
        if (!region.dragItem && contains(region.frame, point))
            return &region;
    }
    return nullptr;
}

const TouchRegion* firstMovable(const QList<TouchRegion>& regions, QPointF point) {
    for (const TouchRegion& region : regions) {
        if (region.dragItem && contains(region.frame, point))
            return &region;
    }
    return nullptr;
}

const TouchRegion* withID(const QList<TouchRegion>& regions, const QString& id) {
    for (const TouchRegion& region : regions) {
        if (region.id == id)
            return &region;
    }
    return nullptr;
}

} // namespace

TouchContacts::TouchContacts(TouchWindows& windows, const TouchHost& host, DelayedTasks& tasks,
                             const Clock& clock, Outlets outlets)
    : m_windows(windows), m_host(host), m_tasks(tasks), m_clock(clock),
      m_outlets(std::move(outlets)) {}

TouchContacts::~TouchContacts() {
    cancelTask(m_hold);
    cancelTask(m_watchdog);
    cancelTask(m_momentum);
}

// ---- Surfaces

TouchSurfaceRegistration* TouchContacts::registration(const QUuid& id) {
    for (auto& [surfaceID, registration] : m_surfaces) {
        if (surfaceID == id)
            return &registration;
    }
    return nullptr;
}

const TouchSurfaceRegistration* TouchContacts::surface(const QUuid& id) const {
    return const_cast<TouchContacts*>(this)->registration(id);
}

const TouchSurfaceRegistration* TouchContacts::activeRegistration() const {
    return m_activeSurface ? surface(*m_activeSurface) : nullptr;
}

void TouchContacts::attachSurface(const QUuid& id, QObject* view, bool isDashboard) {
    TouchSurfaceRegistration* existing = registration(id);
    if (!existing) {
        m_surfaces.push_back({id, {}});
        existing = &m_surfaces.back().second;
    }
    existing->view = view;
    existing->isDashboard = isDashboard;
}

void TouchContacts::updateRegions(const QUuid& id, QList<TouchRegion> regions) {
    TouchSurfaceRegistration* existing = registration(id);
    if (!existing) {
        m_surfaces.push_back({id, {}});
        existing = &m_surfaces.back().second;
    }
    existing->regions = std::move(regions);
}

void TouchContacts::removeSurface(const QUuid& id) {
    std::erase_if(m_surfaces, [&](const auto& entry) { return entry.first == id; });
    if (m_activeSurface == id)
        cancel();
}

std::optional<TouchContacts::Hit> TouchContacts::surfaceAt(QPointF screenPoint) const {
    const auto firstIn = [&](QObject* window) -> std::optional<Hit> {
        for (const auto& [id, registration] : m_surfaces) {
            if (registration.view && m_windows.windowOf(registration.view) == window)
                return Hit{id, surfacePoint(screenPoint, m_windows.geometry(registration.view))};
        }
        return std::nullopt;
    };
    const QList<QObject*> windows = m_windows.windowsFrontToBack();
    QObject* modal = m_windows.modalWindow();
    for (QObject* window : windows) {
        if (!m_windows.isShown(window))
            continue;
        // An open dialog decides for its window: the window behind it takes no touches. Other
        // windows still do.
        if (QObject* sheet = m_windows.sheet(window); sheet && m_windows.isShown(sheet)) {
            if (contains(m_windows.frame(sheet), screenPoint))
                return firstIn(sheet);
            if (contains(m_windows.frame(window), screenPoint))
                return std::nullopt;
            continue;
        }
        if (!contains(m_windows.frame(window), screenPoint))
            continue;
        if (auto hit = firstIn(window))
            return hit;
        // Nothing reaches past a modal window.
        if (window == modal)
            return std::nullopt;
    }
    return std::nullopt;
}

// ---- Contacts

void TouchContacts::receive(TouchSample::Phase phase, QPointF screenPoint) {
    const double now = m_clock.uptime();
    if (phase == TouchSample::Phase::began) {
        began(screenPoint, now);
        return;
    }
    if (!stillTouchable()) {
        cancel();
        return;
    }
    const QPointF local = surfacePoint(screenPoint, m_windows.geometry(activeRegistration()->view));
    if (m_draggingWindow) {
        if (phase == TouchSample::Phase::moved) {
            m_windows.moveWindow(m_draggingWindow,
                                 m_windowDragOrigin + (screenPoint - m_windowDragStart));
            armWatchdog();
        } else {
            cancel();
        }
        return;
    }
    if (phase == TouchSample::Phase::moved)
        moved(screenPoint, local, now);
    else
        ended(screenPoint, local, now);
}

bool TouchContacts::stillTouchable() {
    const TouchSurfaceRegistration* active = activeRegistration();
    if (!active || !active->view || !m_gesture)
        return false;
    QObject* window = m_windows.windowOf(active->view);
    return window && m_windows.isShown(window);
}

void TouchContacts::began(QPointF screenPoint, double now) {
    cancel();
    const auto hit = surfaceAt(screenPoint);
    if (!hit)
        return;
    const TouchSurfaceRegistration& active = *surface(hit->surface);
    m_activeSurface = hit->surface;
    m_gesture = TouchGesture::began(hit->local, now);
    if (const TouchRegion* plain = firstPlain(active.regions, hit->local))
        m_targetID = plain->id;

    if (!active.isDashboard && hit->local.y() < 0) {
        // Above the content: the window's title bar, which drags the window.
        if (QObject* window = m_windows.windowOf(active.view)) {
            m_draggingWindow = window;
            m_windowDragOrigin = m_windows.windowOrigin(window);
            m_windowDragStart = screenPoint;
        }
    }
    if (active.isDashboard && !m_targetID) {
        if (const TouchRegion* movable = firstMovable(active.regions, hit->local))
            scheduleHold(hit->surface, *movable->dragItem);
    }
    m_scrollTargets = m_windows.scrollTargetsAt(active.view, screenPoint);
    m_previousMoveTime = now;
    m_scrollVelocity = 0;
    m_didScroll = false;
    showFeedback(hit->local);
    armWatchdog();
}

void TouchContacts::scheduleHold(const QUuid& surface, const WidgetKind& item) {
    m_hold = m_tasks.schedule(holdDelay, [this, surface, item] {
        m_hold = 0;
        // A millisecond of slack: the timer's own rounding is no reason to miss the hold.
        if (m_activeSurface != surface || !m_gesture ||
            m_clock.uptime() - m_gesture->startedAt < holdDelay - 0.001 ||
            m_gesture->maxDistance >= holdSlop)
            return;
        m_draggingWidget = item;
        m_targetID.reset();
        m_scrollTargets = {};
        showFeedback(m_gesture->last);
    });
}

void TouchContacts::moved(QPointF screenPoint, QPointF local, double now) {
    const double previousDistance = m_gesture->maxDistance;
    const double step = local.y() - m_gesture->last.y();
    m_gesture->moveTo(local);
    const double dx = local.x() - m_gesture->start.x();
    const double dy = local.y() - m_gesture->start.y();
    if (m_draggingWidget) {
        showFeedback(local);
        armWatchdog();
        return;
    }
    if (m_gesture->maxDistance >= holdSlop)
        cancelTask(m_hold);
    if (activeRegistration()->isDashboard && previousDistance < indicatorDistance &&
        m_gesture->maxDistance >= indicatorDistance &&
        horizontalRatio * std::abs(dy) < std::abs(dx))
        m_outlets.flashPageIndicator();
    if (m_gesture->maxDistance > scrollSlop && std::abs(dy) > verticalRatio * std::abs(dx))
        scroll(screenPoint, step, now);
    m_previousMoveTime = now;
    showFeedback(local);
    armWatchdog();
}

void TouchContacts::scroll(QPointF screenPoint, double step, double now) {
    if (m_scrollTargets.page) {
        m_windows.scrollPage(m_scrollTargets.page, screenPoint, -step);
        m_didScroll = true;
    } else if (m_scrollTargets.scrollArea) {
        const double elapsed = std::max(now - m_previousMoveTime, shortestStep);
        m_windows.scroll(m_scrollTargets.scrollArea, -step);
        m_scrollVelocity = 0.3 * m_scrollVelocity + 0.7 * (-step / elapsed);
        m_didScroll = true;
    }
}

void TouchContacts::ended(QPointF screenPoint, QPointF local, double now) {
    m_gesture->moveTo(local);
    cancelTask(m_hold);
    if (m_draggingWidget) {
        dropWidget(local);
        cancel();
        return;
    }
    cancelTask(m_watchdog);
    const TouchGesture::Outcome outcome = m_gesture->outcome(now);
    const bool dashboard = activeRegistration()->isDashboard;
    if (m_didScroll) {
        if (m_scrollTargets.scrollArea && now - m_previousMoveTime < momentumWindow) {
            m_momentumArea = m_scrollTargets.scrollArea;
            startMomentum(m_scrollVelocity);
        }
    } else if ((outcome == TouchGesture::Outcome::swipeLeft ||
                outcome == TouchGesture::Outcome::swipeRight) &&
               dashboard) {
        swipe(outcome);
    } else if (outcome == TouchGesture::Outcome::tap) {
        tap(screenPoint, local);
    } else if (outcome == TouchGesture::Outcome::edgeSwipe && dashboard) {
        m_host.openSettings();
        m_outlets.log(QStringLiteral("Opened settings with edge swipe"));
    }
    resetContact();
}

void TouchContacts::dropWidget(QPointF local) {
    const TouchRegion* target = firstMovable(activeRegistration()->regions, local);
    if (!target || *target->dragItem == *m_draggingWidget)
        return;
    const WidgetKind dragged = *m_draggingWidget;
    const WidgetKind onto = *target->dragItem;
    m_host.swapWidgets(dragged, onto);
    m_outlets.log(QStringLiteral("Swapped ") + dragged.rawValue() + QStringLiteral(" and ") +
                  onto.rawValue());
}

void TouchContacts::swipe(TouchGesture::Outcome outcome) {
    m_outlets.flashPageIndicator();
    const QList<Board> pages = m_host.pages();
    if (pages.isEmpty())
        return;
    const qsizetype current = std::max<qsizetype>(pages.indexOf(m_host.currentBoard()), 0);
    const qsizetype target = std::clamp<qsizetype>(
            current + (outcome == TouchGesture::Outcome::swipeLeft ? 1 : -1), 0, pages.size() - 1);
    m_host.showBoard(pages[target]);
    m_outlets.log(QStringLiteral("Swiped to ") + rawValue(pages[target]));
}

void TouchContacts::tap(QPointF screenPoint, QPointF local) {
    const TouchSurfaceRegistration* active = activeRegistration();
    if (!m_targetID) {
        if (QObject* window = m_windows.windowOf(active->view))
            m_windows.click(window, screenPoint);
        return;
    }
    const TouchRegion* region = withID(active->regions, *m_targetID);
    if (!region || !region->enabled || !contains(region->frame, local))
        return;
    // The action may change the regions (or remove the surface): keep what is needed first.
    const QString id = region->id;
    const std::function<void()> action = region->action;
    if (action)
        action();
    m_outlets.log(QStringLiteral("Activated ") + id);
}

// ---- Momentum, watchdog and feedback

void TouchContacts::startMomentum(double velocity) {
    cancelTask(m_momentum);
    m_momentumVelocity = std::clamp(velocity, -momentumLimit, momentumLimit);
    m_momentum = m_tasks.schedule(momentumInterval, [this] { momentumTick(); });
}

void TouchContacts::momentumTick() {
    m_momentum = 0;
    if (!m_momentumArea || std::abs(m_momentumVelocity) <= momentumStop)
        return;
    m_windows.scroll(m_momentumArea, m_momentumVelocity / 60);
    m_momentumVelocity *= momentumDecay;
    m_momentum = m_tasks.schedule(momentumInterval, [this] { momentumTick(); });
}

void TouchContacts::armWatchdog() {
    cancelTask(m_watchdog);
    m_watchdog = m_tasks.schedule(watchdogDelay, [this] {
        m_watchdog = 0;
        cancel();
    });
}

void TouchContacts::showFeedback(QPointF point) {
    const TouchSurfaceRegistration* active = activeRegistration();
    if (!active)
        return;
    TouchFeedback feedback{*m_activeSurface, point, {}, {}, {}};
    if (!m_draggingWidget) {
        const TouchRegion* pressed = m_targetID ? withID(active->regions, *m_targetID) : nullptr;
        if (pressed && pressed->enabled && contains(pressed->frame, point) &&
            (!m_gesture || m_gesture->maxDistance < pressedDistance))
            feedback.frame = pressed->frame;
    } else {
        for (const TouchRegion& region : active->regions) {
            if (!feedback.dropFrame && region.dragItem && *region.dragItem != *m_draggingWidget &&
                contains(region.frame, point))
                feedback.dropFrame = region.frame;
            if (!feedback.frame && region.dragItem == m_draggingWidget)
                feedback.frame = region.frame;
        }
        feedback.dragLabel = dragLabel(*m_draggingWidget);
    }
    setFeedback(feedback);
}

QString TouchContacts::dragLabel(const WidgetKind& kind) const {
    if (m_host.widgetName) {
        if (const auto name = m_host.widgetName(kind))
            return *name;
    }
    return kind.rawValue().section(QLatin1Char('@'), 0, 0);
}

void TouchContacts::setFeedback(const std::optional<TouchFeedback>& feedback) {
    if (feedback == m_feedback)
        return;
    m_feedback = feedback;
    m_outlets.feedback(m_feedback);
}

void TouchContacts::resetContact() {
    m_activeSurface.reset();
    m_gesture.reset();
    m_targetID.reset();
    m_scrollTargets = {};
    setFeedback(std::nullopt);
}

void TouchContacts::cancel() {
    cancelTask(m_watchdog);
    cancelTask(m_hold);
    cancelTask(m_momentum);
    m_momentumArea.clear();
    m_draggingWidget.reset();
    m_draggingWindow.clear();
    resetContact();
}

void TouchContacts::cancelTask(DelayedTasks::Handle& handle) {
    if (handle != 0)
        m_tasks.cancel(handle);
    handle = 0;
}
