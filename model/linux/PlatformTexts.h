#pragma once

#include <QString>

// The few messages whose original wording sends the user to places that only exist on a Mac.
// Each constant gives the Linux wording; the comment above it quotes the text it stands for.
namespace PlatformTexts {

// "No local Codex or Claude Code sessions found. Run either app on this Mac to get started."
inline QString noAISessions() {
    return QStringLiteral("No local Codex or Claude Code sessions found. Run either app on this "
                          "computer to get started.");
}

// "Refresh to load your Apple Shortcuts"
inline QString automationsNotLoaded() {
    return QStringLiteral("Refresh to load your automations");
}

// "Create a shortcut in Apple Shortcuts first"
inline QString noAutomations() {
    return QStringLiteral("Put an executable script in ~/.config/tablora/automations first");
}

// "Couldn’t read Apple Shortcuts. Open Shortcuts and try Refresh."
inline QString automationsUnreadable() {
    return QStringLiteral("Couldn’t read ~/.config/tablora/automations. Check the folder and try "
                          "Refresh.");
}

// "Allow Tablora to control Spotify in System Settings → Privacy & Security → Automation."
inline QString spotifyNotPermitted() {
    return QStringLiteral("Tablora may not control Spotify: the session bus refused the request.");
}

// "Allow microphone access in System Settings to enable metering"
inline QString microphoneRefused() {
    return QStringLiteral("The sound server refused the microphone. Allow microphone access in "
                          "your sound settings to enable metering");
}

// "Access was not granted. You can enable it in System Settings → Privacy & Security."
inline QString calendarUnavailable() {
    return QStringLiteral("The calendar service did not answer. Make sure Evolution Data Server "
                          "is installed, then try Connect again.");
}

// "Choose a valid Mac application (.app)."
inline QString invalidApplication() {
    return QStringLiteral("Choose a valid application (a .desktop file or a program).");
}

// "Mac", the name of a computer without a host name
inline QString unnamedComputer() {
    return QStringLiteral("Computer");
}

// "Mouse fallback · macOS denied this copy of Tablora direct touch access"
inline QString touchAccessDenied() {
    return QStringLiteral("Mouse fallback · the touchscreen’s device node isn’t readable: install "
                          "Tablora’s udev rule, then replug the touchscreen");
}

} // namespace PlatformTexts
