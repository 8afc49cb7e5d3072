#pragma once

#include "touch/ScreenDirectory.h"

#include <QHash>

// The application's screens as Qt sees them, with the monitors' identities read from the EDID
// that XRandR reports for each output. Without X11 (Wayland, offscreen) no display is known.
class X11ScreenDirectory : public ScreenDirectory {
public:
    X11ScreenDirectory();

    QList<ScreenInfo> screens() const override;
    DisplayModel model(quint32 displayNumber) const override;
    // Reads the outputs' EDIDs again; call after the displays changed.
    void refresh();

private:
    QHash<quint32, DisplayModel> m_models;
};
