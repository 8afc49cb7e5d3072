#include "Palette.h"

#include "RawValue.h"

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
    return caseNamed<Palette>(raw, allPalettes);
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
