#pragma once

#include "settings/SettingsDesktop.h"

// The Linux desktop's answers: the README's direct touch section on the udev rule, the file
// manager through its freedesktop interface (its folder opened when none answers).
class DesktopSettingsActions : public SettingsDesktop {
public:
    // `resources` is the program's resources folder; the README lies beside it in the source
    // tree and in the documentation folder of an installed program.
    explicit DesktopSettingsActions(QString resources) : m_resources(std::move(resources)) {}

    void openTouchPermissionHelp() override;
    void revealApplication() override;
    void openFolder(const QString& path) override;
    void reveal(const QString& path) override;

    // The README that documents this copy of the program, or empty.
    QString readme() const;

private:
    QString m_resources;
};
