#pragma once

#include "desktop/linux/DrmConnectors.h"
#include "touch/ScreenDirectory.h"

#include <QHash>
#include <QStringList>

// The application's screens as Qt sees them, with the monitors' identities read from the
// kernel's DRM connectors: what a Wayland client has, since compositors hand out no EDIDs.
class DrmScreenDirectory : public ScreenDirectory {
public:
    explicit DrmScreenDirectory(QString sysfsRoot = QStringLiteral("/sys"));

    QList<ScreenInfo> screens() const override;
    DisplayModel model(quint32 displayNumber) const override;
    // Reads the identities again; call after the displays changed.
    void refresh();
    // How each screen was identified, a line each, for the log.
    const QStringList& report() const { return m_report; }

protected:
    struct Skip {};
    // For a subclass, whose own refresh() must not run before it is built.
    DrmScreenDirectory(QString sysfsRoot, Skip);
    // Identities the window system itself gives, by display number, with where they came from.
    virtual QHash<quint32, EdidIdentity> platformIdentities() const { return {}; }
    virtual QString platformSource() const { return {}; }

private:
    QString m_sysfsRoot;
    QHash<quint32, DisplayModel> m_models;
    QHash<quint32, QString> m_monitorNames;
    QStringList m_report;
};
