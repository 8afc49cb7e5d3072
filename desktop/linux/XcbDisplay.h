#pragma once

#include <QByteArray>
#include <xcb/xcb.h>

// A connection of its own to the X display (an empty name means $DISPLAY), or none when the
// display cannot be reached.
inline xcb_connection_t* connectToDisplay(const QByteArray& display) {
    xcb_connection_t* connection =
            xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return connection;
}
