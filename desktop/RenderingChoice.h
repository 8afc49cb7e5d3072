#pragma once

#include <QString>
#include <optional>

// How widget pages reach the window: drawn by the processor, or through OpenGL. Software
// rasterisers emulate OpenGL on the processor, where the software scene graph costs less; a
// hardware driver draws the pages more cheaply through OpenGL.
namespace RenderingChoice {

constexpr const char* variable = "TABLORA_RENDERING";

enum class Rendering { software, openGL };

struct Choice {
    Rendering rendering = Rendering::software;
    // Why, for the log.
    QString reason;
    // The variable held something it cannot mean; said once in the log.
    std::optional<QString> warning;
};

// Whether the variable decides on its own, so the driver need not be asked.
bool isForced(const QString& variableValue);
// `variableValue` is the variable's text (empty when unset); `renderer` the OpenGL driver's
// renderer name, none when OpenGL is not available.
Choice choose(const QString& variableValue, const std::optional<QString>& renderer);
// Mesa's rasterisers that run on the processor.
bool isSoftwareRasteriser(const QString& renderer);

} // namespace RenderingChoice
