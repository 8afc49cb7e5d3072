#pragma once

// What the web engine must know before the application object exists: the widget scheme, and
// the switches every widget page runs with.
namespace WidgetEngine {

void prepare();

} // namespace WidgetEngine
