#include "RendererWatch.h"

std::optional<RendererWatch::Excess> RendererWatch::add(const RendererSample& sample) {
    if (sample.memoryBytes > m_limits.memoryBytes)
        return Excess::memory;
    if (!m_samples.empty() && sample.at <= m_samples.back().at)
        return std::nullopt;
    m_samples.push_back(sample);
    // The oldest reading kept is the newest one at least a window old.
    const double windowStart = sample.at - m_limits.windowSeconds;
    while (m_samples.size() > 2 && m_samples[1].at <= windowStart)
        m_samples.pop_front();
    const RendererSample& first = m_samples.front();
    if (first.at > windowStart)
        return std::nullopt;
    const double share =
            (sample.processorSeconds - first.processorSeconds) / (sample.at - first.at);
    return share > m_limits.processorShare ? std::optional(Excess::processor) : std::nullopt;
}
