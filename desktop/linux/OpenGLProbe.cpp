#include "OpenGLProbe.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <memory>

std::optional<QString> openGLRenderer() {
    QOpenGLContext* context = QOpenGLContext::globalShareContext();
    std::unique_ptr<QOpenGLContext> own;
    if (!context || !context->isValid()) {
        own = std::make_unique<QOpenGLContext>();
        if (!own->create())
            return std::nullopt;
        context = own.get();
    }
    QOffscreenSurface surface;
    surface.setFormat(context->format());
    surface.create();
    if (!surface.isValid() || !context->makeCurrent(&surface))
        return std::nullopt;
    const auto* name =
            reinterpret_cast<const char*>(context->functions()->glGetString(GL_RENDERER));
    const std::optional<QString> renderer =
            name ? std::optional(QString::fromUtf8(name)) : std::nullopt;
    context->doneCurrent();
    return renderer;
}
