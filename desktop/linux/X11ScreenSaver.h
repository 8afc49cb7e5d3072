#pragma once

#include "desktop/ViewingSource.h"

#include <QSocketNotifier>
#include <memory>
#include <optional>

struct xcb_connection_t;

// The X server's own screen saver and the monitors' power (DPMS): they hide the dashboard while
// the saver runs or the monitors are in standby, suspend or off. The saver is followed through
// its events on a connection of its own; the power state has no events and is asked for at each
// pollPower(). A display without the extensions is no source for them.
class X11ScreenSaver : public ViewingSource {
    Q_OBJECT

public:
    // An empty display name means $DISPLAY.
    explicit X11ScreenSaver(const QByteArray& display = {}, QObject* parent = nullptr);
    ~X11ScreenSaver() override;

    bool followsSaver() const { return m_saverEvent.has_value(); }
    bool followsPower() const { return m_power; }

    // What `xset s reset` does: the saver stops and the monitors power on.
    void wake() override;

public slots:
    // Sends the question; the answer is read when it arrives, never waited for.
    void pollPower();

private:
    void readEvents();
    void update();

    xcb_connection_t* m_connection = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::optional<quint8> m_saverEvent;
    bool m_power = false;
    std::optional<unsigned int> m_powerQuestion;
    bool m_saverOn = false;
    bool m_powerOff = false;
};
