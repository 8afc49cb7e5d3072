#include "WidgetLayout.h"

#include <algorithm>

namespace WidgetLayout {

QList<double> widths(const QList<std::optional<double>>& preferred, double available,
                     double spacing) {
    if (preferred.isEmpty())
        return {};
    const auto count = double(preferred.size());
    const double usable = std::max(available - spacing * (count - 1), 0.0);
    double fixedSum = 0;
    int flexibleCount = 0;
    for (const auto& width : preferred) {
        if (width)
            fixedSum += *width;
        else
            ++flexibleCount;
    }
    const double flexible =
            flexibleCount > 0 ? std::max((usable - fixedSum) / flexibleCount, 220.0) : 0.0;
    double baseSum = 0;
    for (const auto& width : preferred)
        baseSum += width.value_or(flexible);
    QList<double> result;
    result.reserve(preferred.size());
    for (const auto& width : preferred)
        result.append(baseSum > 0 ? usable * width.value_or(flexible) / baseSum : usable / count);
    return result;
}

} // namespace WidgetLayout
