#pragma once

#include <QSizeF>
#include <QString>
#include <array>
#include <optional>

enum class LayoutOrientation { horizontal, vertical };

inline constexpr std::array<LayoutOrientation, 2> allOrientations = {LayoutOrientation::horizontal,
                                                                     LayoutOrientation::vertical};

QString rawValue(LayoutOrientation orientation);
std::optional<LayoutOrientation> orientationNamed(const QString& raw);

// The logical canvas: 1920 x 540 points, or its transpose.
QSizeF canvasSize(LayoutOrientation orientation);
double aspectRatio(LayoutOrientation orientation);
