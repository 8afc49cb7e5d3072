#pragma once

#include <QObject>
#include <QPointer>

class DirectTouchController;

// The mouse fallback: while direct touch is wanted but the touchscreen could not be opened, the
// legacy driver turns touches into left-button mouse events; those that land on the dashboard go
// through the same gestures as direct touches. Watches the whole application; the clicks that
// direct touch posts itself pass untouched.
class MouseFallback : public QObject {
    Q_OBJECT

public:
    explicit MouseFallback(DirectTouchController& touch, QObject* parent = nullptr);
    ~MouseFallback() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<DirectTouchController> m_touch;
};
