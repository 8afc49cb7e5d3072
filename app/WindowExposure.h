#pragma once

#include "desktop/ViewingSource.h"

#include <QPointer>

class QWindow;

// The dashboard window itself: it hides the dashboard while it is hidden, minimised or not
// exposed at all (fully covered, on a desktop that tells).
class WindowExposure : public ViewingSource {
    Q_OBJECT

public:
    explicit WindowExposure(QWindow* window, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();

    QPointer<QWindow> m_window;
};
