#include "X11ScreenSaver.h"

#include "XcbDisplay.h"

#include <cstdlib>
#include <xcb/dpms.h>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace {

bool saverRuns(quint8 state) {
    return state == XCB_SCREENSAVER_STATE_ON || state == XCB_SCREENSAVER_STATE_CYCLE;
}

} // namespace

X11ScreenSaver::X11ScreenSaver(const QByteArray& display, QObject* parent)
    : ViewingSource(QStringLiteral("X screen saver"), parent) {
    xcb_connection_t* connection = connectToDisplay(display);
    if (!connection)
        return;
    m_connection = connection;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;

    const xcb_query_extension_reply_t* saver =
            xcb_get_extension_data(connection, &xcb_screensaver_id);
    if (saver && saver->present) {
        m_saverEvent = quint8(saver->first_event + XCB_SCREENSAVER_NOTIFY);
        xcb_screensaver_select_input(connection, root, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
        // Asked once at the start, while nothing else runs yet; events follow from here on.
        if (auto* info = xcb_screensaver_query_info_reply(
                    connection, xcb_screensaver_query_info(connection, root), nullptr)) {
            m_saverOn = saverRuns(info->state);
            std::free(info);
        }
    }
    const xcb_query_extension_reply_t* dpms = xcb_get_extension_data(connection, &xcb_dpms_id);
    if (dpms && dpms->present) {
        if (auto* capable =
                    xcb_dpms_capable_reply(connection, xcb_dpms_capable(connection), nullptr)) {
            m_power = capable->capable;
            std::free(capable);
        }
    }
    xcb_flush(connection);

    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection),
                                                   QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11ScreenSaver::readEvents);
    update();
}

X11ScreenSaver::~X11ScreenSaver() {
    m_notifier.reset();
    if (m_connection)
        xcb_disconnect(m_connection);
}

void X11ScreenSaver::wake() {
    if (!m_connection || xcb_connection_has_error(m_connection))
        return;
    xcb_force_screen_saver(m_connection, XCB_SCREEN_SAVER_RESET);
    if (m_powerOff)
        xcb_dpms_force_level(m_connection, XCB_DPMS_DPMS_MODE_ON);
    xcb_flush(m_connection);
}

void X11ScreenSaver::pollPower() {
    if (!m_power || m_powerQuestion || xcb_connection_has_error(m_connection))
        return;
    m_powerQuestion = xcb_dpms_info(m_connection).sequence;
    xcb_flush(m_connection);
}

void X11ScreenSaver::readEvents() {
    if (xcb_connection_has_error(m_connection)) {
        // The server went away: it hides nothing any more.
        m_notifier->setEnabled(false);
        m_saverOn = m_powerOff = false;
        update();
        return;
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        if (m_saverEvent && (event->response_type & 0x7f) == *m_saverEvent)
            m_saverOn = saverRuns(reinterpret_cast<xcb_screensaver_notify_event_t*>(event)->state);
        std::free(event);
    }
    if (m_powerQuestion) {
        void* answer = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(m_connection, *m_powerQuestion, &answer, &error)) {
            m_powerQuestion.reset();
            if (auto* info = static_cast<xcb_dpms_info_reply_t*>(answer))
                m_powerOff = info->state && info->power_level != XCB_DPMS_DPMS_MODE_ON;
            std::free(answer);
            std::free(error);
        }
    }
    update();
}

void X11ScreenSaver::update() {
    setHides(m_saverOn || m_powerOff);
}
