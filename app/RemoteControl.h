#pragma once

#include "desktop/CommandLine.h"

#include <QString>

class AppDelegate;

// Carries out a command given to the running dashboard, from a second start's command line or
// the dashboard's own. Empty when done, else the one line that says why not.
QString runCommand(AppDelegate& app, const CommandLine& command);
