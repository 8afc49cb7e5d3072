#include "X11WindowCover.h"

#include "XcbDisplay.h"

#include <cstdlib>
#include <xcb/xcb.h>

X11WindowCover::X11WindowCover(quint32 window, const QByteArray& display, QObject* parent)
    : ViewingSource(QStringLiteral("covered window"), parent) {
    xcb_connection_t* connection = connectToDisplay(display);
    if (!connection)
        return;
    m_connection = connection;
    // Every client chooses its own events on a window, so this leaves Qt's choice alone.
    const quint32 events = XCB_EVENT_MASK_VISIBILITY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &events);
    xcb_flush(connection);
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection),
                                                   QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11WindowCover::readEvents);
}

X11WindowCover::~X11WindowCover() {
    m_notifier.reset();
    if (m_connection)
        xcb_disconnect(m_connection);
}

void X11WindowCover::readEvents() {
    if (xcb_connection_has_error(m_connection)) {
        m_notifier->setEnabled(false);
        setHides(false);
        return;
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        switch (event->response_type & 0x7f) {
        case XCB_VISIBILITY_NOTIFY:
            setHides(reinterpret_cast<xcb_visibility_notify_event_t*>(event)->state ==
                     XCB_VISIBILITY_FULLY_OBSCURED);
            break;
        // A window that is unmapped or gone is the window source's to judge; mapping it again
        // brings a fresh visibility event.
        case XCB_UNMAP_NOTIFY:
        case XCB_DESTROY_NOTIFY:
            setHides(false);
            break;
        default:
            break;
        }
        std::free(event);
    }
}
