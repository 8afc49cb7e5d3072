#pragma once

// What the web engine must know before the application object exists: the widget scheme, and
// the switches every widget page runs with.
namespace WidgetEngine {

void prepare();

// For a program that shows widget pages, before its application object: prepare(), pages drawn
// by the processor, no sandbox for the root user (the engine refuses to start as root with one),
// and the engine's own log lines kept off the terminal unless `verbose`.
void prepareProgram(bool verbose);

// Pages drawn through OpenGL instead of by the processor, or back. After the application object
// exists, before the first page is shown.
void drawThroughOpenGL(bool openGL);

} // namespace WidgetEngine
