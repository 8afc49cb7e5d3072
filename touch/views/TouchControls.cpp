#include "TouchControls.h"

#include <QCoreApplication>
#include <QWidget>

namespace TouchControls {

namespace {

// The mark on a control: a child object, so it goes with the control.
class TouchControlMark : public QObject {
public:
    explicit TouchControlMark(QObject* parent) : QObject(parent) {}

    QString id;
    std::optional<WidgetKind> dragItem;
    std::function<void()> action;
};

TouchControlMark* markOf(const QWidget* control) {
    for (QObject* child : control->children()) {
        if (auto* marked = dynamic_cast<TouchControlMark*>(child))
            return marked;
    }
    return nullptr;
}

TouchControlMark* mark(QWidget* control) {
    TouchControlMark* existing = markOf(control);
    return existing ? existing : new TouchControlMark(control);
}

} // namespace

void setAction(QWidget* control, const QString& id, std::function<void()> action) {
    TouchControlMark* marked = mark(control);
    marked->id = id;
    marked->dragItem.reset();
    marked->action = std::move(action);
    regionsChanged(control);
}

void setMovable(QWidget* control, const WidgetKind& kind) {
    TouchControlMark* marked = mark(control);
    marked->id = QStringLiteral("widget-") + kind.rawValue();
    marked->dragItem = kind;
    marked->action = [] {};
    regionsChanged(control);
}

QList<TouchRegion> regionsOf(const QWidget* control) {
    const TouchControlMark* marked = markOf(control);
    if (!marked)
        return {};
    return {TouchRegion{marked->id, QRectF(control->rect()), control->isEnabled(), marked->dragItem,
                        marked->action}};
}

QEvent::Type regionsChangedEvent() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void regionsChanged(QWidget* source) {
    QEvent event(regionsChangedEvent());
    QCoreApplication::sendEvent(source, &event);
}

} // namespace TouchControls
