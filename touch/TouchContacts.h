#pragma once

#include "model/Clock.h"
#include "touch/DelayedTasks.h"
#include "touch/TouchGesture.h"
#include "touch/TouchHost.h"
#include "touch/TouchRegion.h"
#include "touch/TouchSample.h"
#include "touch/TouchWindows.h"

#include <QUuid>
#include <optional>
#include <vector>

// What the touch overlay of a surface draws now, in the surface's points.
struct TouchFeedback {
    QUuid surface;
    QPointF point;                    // the contact
    std::optional<QRectF> frame;      // the pressed region; during a widget drag, its tile
    std::optional<QRectF> dropFrame;  // during a widget drag, the tile that would take the drop
    std::optional<QString> dragLabel; // during a widget drag, the dragged widget's name

    bool operator==(const TouchFeedback&) const = default;
};

// The registered touch surfaces and the one contact in progress on them: taps run region
// actions, swipes change pages, press-and-hold drags widgets, drags scroll or move windows.
class TouchContacts {
public:
    static constexpr double holdDelay = 0.55;
    static constexpr double holdSlop = 12;   // moving this far cancels a press-and-hold
    static constexpr double scrollSlop = 12; // scrolling starts beyond this distance
    static constexpr double indicatorDistance = 30;
    static constexpr double watchdogDelay = 5.0;
    static constexpr double momentumWindow = 0.15; // a release this soon after a move flings
    static constexpr double momentumLimit = 2500;  // points per second
    static constexpr double momentumDecay = 0.92;  // per tick
    static constexpr double momentumInterval = 1.0 / 60;
    static constexpr double momentumStop = 8; // points per second

    struct Outlets {
        std::function<void(const std::optional<TouchFeedback>&)> feedback;
        std::function<void()> flashPageIndicator;
        std::function<void(const QString&)> log;
    };

    // A surface under a screen point, with the point in the surface's own coordinates.
    struct Hit {
        QUuid surface;
        QPointF local;
    };

    TouchContacts(TouchWindows& windows, const TouchHost& host, DelayedTasks& tasks,
                  const Clock& clock, Outlets outlets);
    ~TouchContacts();

    void attachSurface(const QUuid& id, QObject* view, bool isDashboard);
    void updateRegions(const QUuid& id, QList<TouchRegion> regions);
    void removeSurface(const QUuid& id);
    const TouchSurfaceRegistration* surface(const QUuid& id) const;
    std::optional<Hit> surfaceAt(QPointF screenPoint) const;

    void receive(TouchSample::Phase phase, QPointF screenPoint);
    // Drops the contact in progress without acting on it.
    void cancel();
    bool inContact() const { return m_gesture.has_value(); }

private:
    void began(QPointF screenPoint, double now);
    bool stillTouchable();
    void moved(QPointF screenPoint, QPointF local, double now);
    void ended(QPointF screenPoint, QPointF local, double now);
    void dropWidget(QPointF local);
    void swipe(TouchGesture::Outcome outcome);
    void tap(QPointF screenPoint, QPointF local);
    void scheduleHold(const QUuid& surface, const WidgetKind& item);
    void scroll(QPointF screenPoint, double step, double now);
    void startMomentum(double velocity);
    void momentumTick();
    void armWatchdog();
    void showFeedback(QPointF point);
    void setFeedback(const std::optional<TouchFeedback>& feedback);
    void resetContact();
    TouchSurfaceRegistration* registration(const QUuid& id);
    const TouchSurfaceRegistration* activeRegistration() const;
    QString dragLabel(const WidgetKind& kind) const;
    void cancelTask(DelayedTasks::Handle& handle);

    TouchWindows& m_windows;
    const TouchHost& m_host;
    DelayedTasks& m_tasks;
    const Clock& m_clock;
    Outlets m_outlets;
    std::vector<std::pair<QUuid, TouchSurfaceRegistration>> m_surfaces; // in registration order

    std::optional<QUuid> m_activeSurface;
    std::optional<TouchGesture> m_gesture;
    std::optional<QString> m_targetID;
    std::optional<WidgetKind> m_draggingWidget;
    QPointer<QObject> m_draggingWindow;
    QPointF m_windowDragOrigin;
    QPointF m_windowDragStart;
    TouchWindows::ScrollTargets m_scrollTargets;
    double m_previousMoveTime = 0;
    double m_scrollVelocity = 0;
    bool m_didScroll = false;
    QPointer<QObject> m_momentumArea;
    double m_momentumVelocity = 0;
    DelayedTasks::Handle m_hold = 0;
    DelayedTasks::Handle m_watchdog = 0;
    DelayedTasks::Handle m_momentum = 0;
    std::optional<TouchFeedback> m_feedback;
};
