#pragma once

// The web engine in the widget tools.
namespace ToolEngine {

// Before the application object: the engine prepared as the dashboard's, and its start-up
// messages and Qt's own notes kept off the terminal, so that what the tool prints is the page's.
void prepare();

} // namespace ToolEngine
