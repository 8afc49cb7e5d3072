#pragma once

#include "store/StartAtLogin.h"

// Start at login the freedesktop way: an autostart entry, $XDG_CONFIG_HOME/autostart/
// tablora.desktop, that starts the program at `executable` (the one running now). Turning it off
// removes the entry; an entry the desktop marked hidden or disabled counts as off.
class Autostart : public StartAtLogin {
    Q_OBJECT

public:
    static constexpr const char* entryName = "tablora.desktop";

    explicit Autostart(QString folder = defaultFolder(), QString executable = runningExecutable(),
                       QObject* parent = nullptr);

    // $XDG_CONFIG_HOME/autostart (normally ~/.config/autostart).
    static QString defaultFolder();
    static QString runningExecutable();
    QString entryPath() const;

    bool isEnabled() const override;
    QString setEnabled(bool enabled) override;

private:
    QString enable();
    QString disable();

    QString m_folder;
    QString m_executable;
};
