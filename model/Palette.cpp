#include "Palette.h"

QString rawValue(Palette palette) {
    switch (palette) {
    case Palette::mint:
        return QStringLiteral("Mint");
    case Palette::amber:
        return QStringLiteral("Amber");
    case Palette::ice:
        return QStringLiteral("Ice");
    }
    return {};
}

std::optional<Palette> paletteNamed(const QString& raw) {
    for (Palette palette : allPalettes) {
        if (rawValue(palette) == raw)
            return palette;
    }
    return std::nullopt;
}

QString accentHex(Palette palette) {
    switch (palette) {
    case Palette::mint:
        return QStringLiteral("#adebbf");
    case Palette::amber:
        return QStringLiteral("#ffc26e");
    case Palette::ice:
        return QStringLiteral("#99c9ff");
    }
    return {};
}
