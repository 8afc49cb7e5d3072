#pragma once

#include "settings/PackagePreviews.h"

// The library's previews drawn by the render program, `program`: offscreen, with the package's
// sample state, at the lowest priority, ended after 30 s and with the settings window's program.
PackagePreviews::Renderer previewRenderProcess(QString program);
