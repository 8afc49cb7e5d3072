#pragma once

#include <QString>
#include <array>
#include <optional>

// The built-in accent colours; the raw value is also the palette's name.
enum class Palette { mint, amber, ice };

inline constexpr std::array<Palette, 3> allPalettes = {Palette::mint, Palette::amber, Palette::ice};

QString rawValue(Palette palette);
std::optional<Palette> paletteNamed(const QString& raw);
QString accentHex(Palette palette);
