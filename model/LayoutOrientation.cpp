#include "LayoutOrientation.h"

#include "RawValue.h"

QString rawValue(LayoutOrientation orientation) {
    return orientation == LayoutOrientation::horizontal ? QStringLiteral("horizontal")
                                                        : QStringLiteral("vertical");
}

std::optional<LayoutOrientation> orientationNamed(const QString& raw) {
    return caseNamed<LayoutOrientation>(raw, allOrientations);
}

QSizeF canvasSize(LayoutOrientation orientation) {
    return orientation == LayoutOrientation::horizontal ? QSizeF(1920, 540) : QSizeF(540, 1920);
}

double aspectRatio(LayoutOrientation orientation) {
    const QSizeF size = canvasSize(orientation);
    return size.width() / size.height();
}
