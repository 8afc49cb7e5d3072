#pragma once

#include <QString>
#include <optional>

// The renderer name of the OpenGL driver the application gets (GL_RENDERER), none when there
// is no OpenGL. Needs the application object; uses the context the web engine made with it
// when there is one, so the driver is loaded only once.
std::optional<QString> openGLRenderer();
