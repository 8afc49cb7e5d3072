// /proc/self/mountinfo, /proc/diskstats and a process's /proc/[pid]/stat and cmdline as a kernel
// (or a container) could present them, read from a fixture tree; the input's first NUL byte
// separates the first two files, and the whole input is the process's files.
#include "FuzzSupport.h"
#include "integrations/linux/LinuxActivityReadings.h"
#include "integrations/linux/LinuxMachineReadings.h"

#include <QDir>
#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString root = [] {
        const QString folder = FuzzSupport::scratch().path();
        for (const char* path :
             {"/proc/self", "/proc/4242", "/sys/block/sda/device", "/dev/disk/by-uuid"})
            QDir().mkpath(folder + path);
        FuzzSupport::writeFile(folder + "/dev/sda1", "");
        QFile::link("../../sda1", folder + "/dev/disk/by-uuid/1111-AAAA");
        FuzzSupport::writeFile(folder + "/proc/uptime", "1000.5 1900.2\n");
        return folder;
    }();
    const QByteArray input = FuzzSupport::bytes(data, size);
    const qsizetype split = input.indexOf('\0');
    FuzzSupport::writeFile(root + "/proc/self/mountinfo", split < 0 ? input : input.left(split));
    FuzzSupport::writeFile(root + "/proc/diskstats", split < 0 ? input : input.mid(split + 1));

    LinuxMachineReadings machine(root, [](const QString&) {
        return std::optional(LinuxMachineReadings::Capacity{1e12, 5e11});
    });
    for (const auto& volume : machine.volumes())
        FuzzSupport::require(!volume.path.isEmpty());
    FuzzSupport::writeFile(root + "/proc/4242/stat", input);
    FuzzSupport::writeFile(root + "/proc/4242/cmdline", input);
    LinuxActivityReadings activity(root);
    activity.disks();
    if (const auto stat = LinuxActivityReadings::parseProcessStat(input))
        FuzzSupport::require(stat->pid > 0);
    const auto table = activity.processes();
    FuzzSupport::require(table && table->processes.size() <= 1);
    LinuxMachineReadings::unescapeMountField(input);
    return 0;
}
