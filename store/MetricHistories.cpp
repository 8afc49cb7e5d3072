#include "store/MetricHistories.h"

bool MetricHistories::append(const MachineSnapshot& sample) {
    const std::array<std::optional<double>, 5> values = {sample.cpu, sample.gpu, sample.memoryUsed,
                                                         sample.upload, sample.download};
    bool changed = false;
    for (size_t i = 0; i < values.size(); ++i) {
        if (!values[i])
            continue;
        QList<double>& history = m_values[i];
        history.append(*values[i]);
        if (history.size() > length)
            history.remove(0, history.size() - length);
        changed = true;
    }
    return changed;
}
