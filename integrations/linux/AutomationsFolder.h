#pragma once

#include "integrations/ShortcutsTool.h"

// Automations are the executable files of one folder, normally
// $XDG_CONFIG_HOME/tablora/automations; running one runs the file through the process runner.
class AutomationsFolder : public ShortcutsTool {
public:
    explicit AutomationsFolder(QString folder = defaultFolder());

    static QString defaultFolder();

    void list(double timeoutSeconds, QObject* receiver,
              ServiceProcess::Completion completion) override;
    void run(const QString& name, double timeoutSeconds, QObject* receiver,
             ServiceProcess::Completion completion) override;

private:
    QString m_folder;
};
