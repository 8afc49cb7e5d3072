#pragma once

#include "integrations/ServiceProcess.h"

// The user's automations: listing their names (one per line) and running one by name.
class ShortcutsTool {
public:
    virtual ~ShortcutsTool() = default;
    virtual void list(double timeoutSeconds, QObject* receiver,
                      ServiceProcess::Completion completion) = 0;
    virtual void run(const QString& name, double timeoutSeconds, QObject* receiver,
                     ServiceProcess::Completion completion) = 0;
};
