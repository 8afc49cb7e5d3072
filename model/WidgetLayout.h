#pragma once

#include <QList>
#include <optional>

namespace WidgetLayout {

// Widths of a row of widgets that together fill the available width less the spacing between
// them. Widgets without a preferred width share what the others leave, at least 220 each, before
// everything is scaled to fit.
QList<double> widths(const QList<std::optional<double>>& preferred, double available,
                     double spacing);

} // namespace WidgetLayout
