#pragma once

#include "store/TarnStore.h"

// The store's environment on a Linux desktop: desktop entries for applications, the sound
// theme, /proc and /sys for metrics, the session bus for the music players (files and the web
// for their covers), the sound server, Evolution Data Server for calendars, and the automations
// folder.
struct LinuxPlatformOptions {
    std::shared_ptr<FolderChooser> chooser; // none: choosing is not possible (no windows)
    OrganizerService::UrlOpener openUrl;    // none: links are not opened
};

TarnStore::Environment linuxEnvironment(LinuxPlatformOptions options);
