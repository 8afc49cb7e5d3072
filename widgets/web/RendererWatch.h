#pragma once

#include <QtGlobal>
#include <deque>
#include <memory>
#include <optional>

// What a widget page's own process may use. A page that holds more memory, or keeps the
// processor busier over the window, is stopped: an endless loop or a growing heap would
// otherwise cost the machine for as long as the dashboard runs, and nobody would be told.
struct RendererLimits {
    qint64 memoryBytes = 512LL * 1024 * 1024;
    double processorShare = 0.5; // of one core, on average over the window
    double windowSeconds = 60;
};

// One reading of a page's process.
struct RendererSample {
    double at = 0; // monotonic seconds
    double processorSeconds = 0;
    qint64 memoryBytes = 0; // resident
};

// Reads a page's process from the system.
class RendererUsage {
public:
    virtual ~RendererUsage() = default;
    virtual std::optional<RendererSample> read(qint64 pid) = 0;

    // This system's reading.
    static std::shared_ptr<RendererUsage> system();
};

// Judges the readings of one page's process against the limits.
class RendererWatch {
public:
    enum class Excess { memory, processor };

    explicit RendererWatch(RendererLimits limits = {}) : m_limits(limits) {}

    const RendererLimits& limits() const { return m_limits; }
    // The processor is judged once the readings span a whole window.
    std::optional<Excess> add(const RendererSample& sample);
    // The page has a new process.
    void forget() { m_samples.clear(); }

private:
    RendererLimits m_limits;
    std::deque<RendererSample> m_samples;
};
