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

// "Allow Tablora to control Spotify in System Settings → Privacy & Security → Automation.", for
// Spotify or another music player
inline QString spotifyNotPermitted(const QString& player = QStringLiteral("Spotify")) {
    return QStringLiteral("Tablora may not control %1: the session bus refused the request.")
            .arg(player);
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

// "Enable Tablora in Privacy & Security → Input Monitoring. Until direct touch connects, the mouse
// fallback can move or flash the desktop pointer."
inline QString touchPermissionHelp() {
    return QStringLiteral("Let your user read the touchscreen: install Tablora’s udev rule, then "
                          "unplug the touchscreen and plug it in again. Until direct touch "
                          "connects, the mouse fallback can move or flash the desktop pointer.");
}

// "Already enabled? An older build’s permission may no longer match. Remove its Tablora entry
// with −, add this copy with +, then quit and reopen Tablora."
inline QString touchPermissionHint() {
    return QStringLiteral("Already installed? udev reads rules only from /usr/lib/udev/rules.d and "
                          "/etc/udev/rules.d: a rule installed under another prefix must be "
                          "copied to /etc/udev/rules.d, then reload the rules and replug the "
                          "touchscreen.");
}

// "Input Monitoring…", the button that opens the privacy pane
inline QString touchPermissionButton() {
    return QStringLiteral("udev Rule Help…");
}

// "Show this Tablora app"
inline QString revealApplicationButton() {
    return QStringLiteral("Show this Tablora program");
}

// "For a rotated display, also choose its rotation in macOS Displays settings."
inline QString rotationHint() {
    return QStringLiteral("For a rotated display, also choose its rotation in your desktop’s "
                          "display settings.");
}

// "Show in Finder"
inline QString showInFileManager() {
    return QStringLiteral("Show in File Manager");
}

// "Finder", the launcher's name for the file manager; its stored identifier stays
// "com.apple.finder"
inline QString fileManagerName() {
    return QStringLiteral("Files");
}

// "Safari", the launcher's name for the web browser; its stored identifier stays
// "com.apple.Safari"
inline QString webBrowserName() {
    return QStringLiteral("Web Browser");
}

// "/Applications", where the launcher's application chooser starts
inline QString applicationsFolder() {
    return QStringLiteral("/usr/share/applications");
}

// "/Applications/My App.app", the placeholder of the launcher's application path
inline QString applicationPathPlaceholder() {
    return QStringLiteral("/usr/share/applications/my-app.desktop");
}

} // namespace PlatformTexts
