#include "RenderingChoice.h"

namespace RenderingChoice {

namespace {

std::optional<Rendering> forcedRendering(const QString& variableValue) {
    const QString value = variableValue.trimmed().toLower();
    if (value == QStringLiteral("software"))
        return Rendering::software;
    if (value == QStringLiteral("opengl"))
        return Rendering::openGL;
    return std::nullopt;
}

} // namespace

bool isForced(const QString& variableValue) {
    return forcedRendering(variableValue).has_value();
}

bool isSoftwareRasteriser(const QString& renderer) {
    for (const char* name : {"llvmpipe", "softpipe", "software rasterizer"}) {
        if (renderer.contains(QLatin1String(name), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

Choice choose(const QString& variableValue, const std::optional<QString>& renderer) {
    if (const auto forced = forcedRendering(variableValue))
        return {*forced, QStringLiteral("%1=%2").arg(QLatin1String(variable), variableValue), {}};
    Choice choice;
    if (!variableValue.isEmpty())
        choice.warning = QStringLiteral("%1=\"%2\" is neither software nor opengl; choosing by "
                                        "the graphics driver")
                                 .arg(QLatin1String(variable), variableValue);
    if (!renderer || renderer->trimmed().isEmpty()) {
        choice.reason = QStringLiteral("no OpenGL driver");
    } else {
        choice.rendering =
                isSoftwareRasteriser(*renderer) ? Rendering::software : Rendering::openGL;
        choice.reason = QStringLiteral("OpenGL renderer %1").arg(renderer->trimmed());
    }
    return choice;
}

} // namespace RenderingChoice
