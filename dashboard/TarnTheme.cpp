#include "TarnTheme.h"

#include "model/ThemeColors.h"

#include <algorithm>
#include <cmath>

namespace TarnTheme {

QColor background() {
    return ThemeColors::background.to<QColor>();
}

QColor surface() {
    return ThemeColors::surface.to<QColor>();
}

QColor text() {
    return ThemeColors::text.to<QColor>();
}

QColor muted() {
    return ThemeColors::muted.to<QColor>();
}

QColor line() {
    return ThemeColors::line.to<QColor>();
}

QColor danger() {
    return ThemeColors::danger.to<QColor>();
}

QPalette palette() {
    const QColor raised = QColor::fromRgbF(0.12f, 0.13f, 0.135f);
    QPalette colours;
    colours.setColor(QPalette::Window, background());
    colours.setColor(QPalette::WindowText, text());
    colours.setColor(QPalette::Base, surface());
    colours.setColor(QPalette::AlternateBase, raised);
    colours.setColor(QPalette::Text, text());
    colours.setColor(QPalette::PlaceholderText, muted());
    colours.setColor(QPalette::Button, raised);
    colours.setColor(QPalette::ButtonText, text());
    colours.setColor(QPalette::ToolTipBase, raised);
    colours.setColor(QPalette::ToolTipText, text());
    colours.setColor(QPalette::Highlight, QColor::fromRgbF(0.3f, 0.34f, 0.35f));
    colours.setColor(QPalette::HighlightedText, text());
    colours.setColor(QPalette::Disabled, QPalette::Text, muted());
    colours.setColor(QPalette::Disabled, QPalette::ButtonText, muted());
    colours.setColor(QPalette::Disabled, QPalette::WindowText, muted());
    return colours;
}

QColor color(const QString& hex) {
    const uint value = hex.mid(1).toUInt(nullptr, 16);
    return QColor::fromRgbF(((value >> 16) & 0xFF) / 255.0f, ((value >> 8) & 0xFF) / 255.0f,
                            (value & 0xFF) / 255.0f);
}

std::optional<QString> hex(const QColor& color) {
    if (!color.isValid())
        return std::nullopt;
    // Extended RGB keeps components outside 0...1, which are then clamped like any other.
    const QColor rgb = color.toExtendedRgb();
    const auto component = [](float value) {
        return int(std::lround(std::clamp(double(value), 0.0, 1.0) * 255));
    };
    return QString::asprintf("#%02x%02x%02x", component(rgb.redF()), component(rgb.greenF()),
                             component(rgb.blueF()));
}

} // namespace TarnTheme
