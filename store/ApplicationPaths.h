#pragma once

#include <QString>

namespace ApplicationPaths {

// Where the state files live: $XDG_DATA_HOME/Tarn (normally ~/.local/share/Tarn).
QString dataDirectory();

// Where the included widgets and the widget SDK are: <prefix>/share/tablora beside an installed
// program, else the source tree's resources folder (running from the build tree).
QString resourcesDirectory();

} // namespace ApplicationPaths
