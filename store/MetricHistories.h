#pragma once

#include "integrations/MachineSnapshot.h"

#include <QList>
#include <array>

// The last minute and a half of the metrics the widgets draw as graphs, one value a second.
class MetricHistories {
public:
    enum class Metric { cpu, gpu, memory, upload, download };
    static constexpr int length = 90;

    const QList<double>& of(Metric metric) const { return m_values[size_t(metric)]; }
    // Adds the sample's values that are present; true when any history changed.
    bool append(const MachineSnapshot& sample);

private:
    std::array<QList<double>, 5> m_values;
};
