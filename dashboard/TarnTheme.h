#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <optional>

// The application's colours and the conversion between colours and colour text ("#rrggbb").
namespace TarnTheme {

QColor background(); // windows and the dashboard
QColor surface();    // widget tiles and placeholders
QColor text();
QColor muted();
QColor line();
QColor danger(); // what went wrong
// The application's windows, menus and dialogs in these colours.
QPalette palette();

// Text that matched "#" and six hexadecimal digits.
QColor color(const QString& hex);
// Lower-case "#rrggbb" of a colour, components clamped to 0...1; none for an invalid colour.
std::optional<QString> hex(const QColor& color);

} // namespace TarnTheme
