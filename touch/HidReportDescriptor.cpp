#include "HidReportDescriptor.h"

#include <QHash>
#include <QList>
#include <algorithm>

namespace HidReportDescriptor {

namespace {

// Item types and tags of the HID short item encoding.
constexpr int mainItem = 0;
constexpr int globalItem = 1;
constexpr int inputTag = 0x8;
constexpr int reportSizeTag = 0x7;
constexpr int reportIDTag = 0x8;
constexpr int reportCountTag = 0x9;
constexpr int pushTag = 0xA;
constexpr int popTag = 0xB;
constexpr quint8 longItem = 0xFE;
// Far beyond any real report: keeps a hostile descriptor's sums small.
constexpr qint64 bitLimit = qint64(1) << 24;

struct Globals {
    qint64 reportSize = 0;
    qint64 reportCount = 0;
    quint32 reportID = 0;
};

} // namespace

int largestInputReport(QByteArrayView descriptor) {
    Globals globals;
    QList<Globals> stack;
    QHash<quint32, qint64> bits;
    bool numbered = false;
    qsizetype at = 0;
    while (at < descriptor.size()) {
        const quint8 prefix = quint8(descriptor[at]);
        if (prefix == longItem) {
            if (at + 1 >= descriptor.size())
                break;
            at += 3 + quint8(descriptor[at + 1]);
            continue;
        }
        const int size = (prefix & 3) == 3 ? 4 : prefix & 3;
        if (at + 1 + size > descriptor.size())
            break;
        quint32 value = 0;
        for (int i = 0; i < size; ++i)
            value |= quint32(quint8(descriptor[at + 1 + i])) << (8 * i);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        if (type == mainItem && tag == inputTag) {
            qint64& sum = bits[globals.reportID];
            sum = std::min(bitLimit, sum + globals.reportSize * globals.reportCount);
        } else if (type == globalItem) {
            switch (tag) {
            case reportSizeTag:
                globals.reportSize = std::min<qint64>(value, 0xFFFF);
                break;
            case reportCountTag:
                globals.reportCount = std::min<qint64>(value, 0xFFFF);
                break;
            case reportIDTag:
                globals.reportID = value;
                numbered = true;
                break;
            case pushTag:
                if (stack.size() < 64)
                    stack.append(globals);
                break;
            case popTag:
                if (!stack.isEmpty())
                    globals = stack.takeLast();
                break;
            default:
                break;
            }
        }
        at += 1 + size;
    }
    qint64 largest = 0;
    for (const qint64 sum : std::as_const(bits))
        largest = std::max(largest, (sum + 7) / 8);
    if (largest == 0)
        return 0;
    return int(largest + (numbered ? 1 : 0));
}

} // namespace HidReportDescriptor
