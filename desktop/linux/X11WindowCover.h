#pragma once

#include "desktop/ViewingSource.h"

#include <QSocketNotifier>
#include <memory>

struct xcb_connection_t;

// Other windows over the dashboard's, as the X server sees them: it hides the dashboard while
// the window is fully covered. Qt does not tell this itself; a connection of its own follows
// the window's visibility events. Under a compositing window manager windows never count as
// covered, so it simply never hides there.
class X11WindowCover : public ViewingSource {
    Q_OBJECT

public:
    // An empty display name means $DISPLAY.
    explicit X11WindowCover(quint32 window, const QByteArray& display = {},
                            QObject* parent = nullptr);
    ~X11WindowCover() override;

private:
    void readEvents();

    xcb_connection_t* m_connection = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
