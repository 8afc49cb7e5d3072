// Desktop entry files as any package could install them; Exec lines with broken quoting and
// field codes included.
#include "FuzzSupport.h"
#include "desktop/linux/DesktopEntry.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path = FuzzSupport::scratch().filePath("entry.desktop");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(FuzzSupport::bytes(data, size));
    file.close();
    if (const auto entry = DesktopEntry::read(path)) {
        entry->isApplication();
        entry->arguments();
    }
    return 0;
}
