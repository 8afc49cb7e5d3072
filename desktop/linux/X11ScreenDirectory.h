#pragma once

#include "desktop/linux/DrmScreenDirectory.h"

// The application's screens on X11, with the monitors' identities read from the EDID that XRandR
// reports for each output; an output without one (XWayland's) is looked up among the kernel's
// DRM connectors. Without X11 only the connectors are read.
class X11ScreenDirectory : public DrmScreenDirectory {
public:
    explicit X11ScreenDirectory(QString sysfsRoot = QStringLiteral("/sys"));

protected:
    QHash<quint32, EdidIdentity> platformIdentities() const override;
    QString platformSource() const override { return QStringLiteral("XRandR"); }
};
