#pragma once

#include <QString>

class DirectTouchController;
class PackagePreviews;
class ScreenDirectory;
class SettingsDesktop;
class SettingsDialogs;
class TarnStore;

// What every view of the settings window works with; all of it outlives the window.
struct SettingsContext {
    TarnStore& store;
    DirectTouchController& touch;
    const ScreenDirectory& screens;
    SettingsDialogs& dialogs;
    SettingsDesktop& desktop;
    QString version;                     // the program's version, shown beside its name
    PackagePreviews* previews = nullptr; // none: the library shows no previews
};
