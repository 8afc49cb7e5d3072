#include "LayoutOrientation.h"

QString rawValue(LayoutOrientation orientation) {
    return orientation == LayoutOrientation::horizontal ? QStringLiteral("horizontal")
                                                        : QStringLiteral("vertical");
}

std::optional<LayoutOrientation> orientationNamed(const QString& raw) {
    for (auto orientation : {LayoutOrientation::horizontal, LayoutOrientation::vertical}) {
        if (rawValue(orientation) == raw)
            return orientation;
    }
    return std::nullopt;
}

QSizeF canvasSize(LayoutOrientation orientation) {
    return orientation == LayoutOrientation::horizontal ? QSizeF(1920, 540) : QSizeF(540, 1920);
}

double aspectRatio(LayoutOrientation orientation) {
    const QSizeF size = canvasSize(orientation);
    return size.width() / size.height();
}
