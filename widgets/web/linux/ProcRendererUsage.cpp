#include "integrations/linux/LinuxActivityReadings.h"
#include "widgets/web/RendererWatch.h"

#include <QFile>
#include <ctime>
#include <unistd.h>

namespace {

// A page's process from /proc/PID/stat: its processor time over all its threads and its resident
// memory, with the monotonic time of the reading.
class ProcRendererUsage : public RendererUsage {
public:
    std::optional<RendererSample> read(qint64 pid) override {
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const auto stat = LinuxActivityReadings::parseProcessStat(file.read(4096));
        if (!stat)
            return std::nullopt;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return RendererSample{double(now.tv_sec) + double(now.tv_nsec) / 1e9,
                              double(stat->cpuTicks) / m_ticksPerSecond,
                              qMax<qint64>(stat->residentPages, 0) * m_pageSize};
    }

private:
    double m_ticksPerSecond = double(::sysconf(_SC_CLK_TCK));
    qint64 m_pageSize = ::sysconf(_SC_PAGESIZE);
};

} // namespace

std::shared_ptr<RendererUsage> RendererUsage::system() {
    static const auto usage = std::make_shared<ProcRendererUsage>();
    return usage;
}
