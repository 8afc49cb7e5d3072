#pragma once

#include "touch/ScreenDirectory.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <optional>

// What a monitor's EDID says about it.
struct EdidIdentity {
    DisplayModel model;
    QString monitorName; // the display product name descriptor; empty without one
    QSize preferredSize; // the first detailed timing's active pixels; empty without one
};

// Nothing when the bytes are no EDID (too short, wrong header).
std::optional<EdidIdentity> parseEdid(const QByteArray& edid);
