#include "CPUReading.h"

#include <algorithm>

std::optional<double> CPUReading::utilization(const CPUReading& previous,
                                              const CPUReading& current) {
    if (current.user < previous.user || current.system < previous.system ||
        current.idle < previous.idle || current.nice < previous.nice)
        return std::nullopt;
    const double user = double(current.user - previous.user);
    const double system = double(current.system - previous.system);
    const double idle = double(current.idle - previous.idle);
    const double nice = double(current.nice - previous.nice);
    const double total = user + system + idle + nice;
    if (!(total > 0))
        return std::nullopt;
    return std::clamp((total - idle) / total * 100, 0.0, 100.0);
}
