#pragma once

#include "touch/Edid.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <optional>

// A connected output of the kernel's display drivers, named as compositors name their outputs
// ("DP-2" for the connector card0-DP-2).
struct DrmConnector {
    QString name;
    QString connector; // card0-DP-2
    EdidIdentity identity;
};

// The connected connectors that carry an EDID, from <sysfs>/class/drm/card*-*/{status,edid}.
QList<DrmConnector> readDrmConnectors(const QString& sysfsRoot);

// What Qt tells of a screen.
struct ScreenFacts {
    QString name;
    QString model;
    QSize pixelSize;
};

// The connector that shows each screen, in the screens' order: the one of the same name; else,
// among the connectors no screen has by name, the only one whose monitor name and preferred size
// agree with the screen's, or failing that the only one of the screen's size (compositors and
// XWayland do not all give a model). Nothing for a screen where that is not clear.
QList<std::optional<DrmConnector>> matchConnectors(const QList<ScreenFacts>& screens,
                                                   const QList<DrmConnector>& connectors);
