#pragma once

#include "store/StartAtLogin.h"

#include <QFileSystemWatcher>

// Start at login the freedesktop way: an autostart entry, $XDG_CONFIG_HOME/autostart/
// tablora.desktop, that starts the program at `executable` (the one running now) while that
// program is installed. Turning it off removes the entry; an entry the desktop marked hidden or
// disabled counts as off.
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
    // From now on, changes of the entry by anyone (another start's --autostart, the desktop's
    // own settings) are announced too. Needs the event loop.
    void follow();

private:
    QString enable();
    QString disable();
    void announce();
    void watch();

    QString m_folder;
    QString m_executable;
    bool m_announced = false;
    QFileSystemWatcher* m_watcher = nullptr;
};
