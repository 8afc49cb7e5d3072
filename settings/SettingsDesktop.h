#pragma once

#include <QString>

// What the settings window asks of the desktop: its help on letting direct touch read the
// touchscreen, showing this program, and showing folders and files in the file manager.
class SettingsDesktop {
public:
    virtual ~SettingsDesktop() = default;
    // Where the user learns how to let this program read the touchscreen.
    virtual void openTouchPermissionHelp() = 0;
    // Shows the running program in the file manager.
    virtual void revealApplication() = 0;
    virtual void openFolder(const QString& path) = 0;
    // Shows the item selected in its folder.
    virtual void reveal(const QString& path) = 0;
};
