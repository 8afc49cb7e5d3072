#include "Edid.h"

namespace {

constexpr int edidLength = 128;
constexpr int descriptorsStart = 54;
constexpr int descriptorLength = 18;
constexpr int textLength = 13;
constexpr quint8 productNameTag = 0xFC;

quint8 byteAt(const QByteArray& bytes, int index) {
    return quint8(bytes[index]);
}

// The text of the display product name descriptor: up to 13 ASCII characters, ended by a line
// feed and padded with blanks. What is not printable ASCII is left out: the name is shown.
QString monitorName(const QByteArray& edid) {
    for (int start = descriptorsStart; start + descriptorLength <= edidLength;
         start += descriptorLength) {
        // Display descriptors start with a zero pixel clock; the tag tells which one.
        if (byteAt(edid, start) != 0 || byteAt(edid, start + 1) != 0 ||
            byteAt(edid, start + 3) != productNameTag)
            continue;
        QString name;
        for (const char byte : edid.mid(start + 5, textLength)) {
            if (byte == '\n')
                break;
            if (byte >= 0x20 && byte < 0x7F)
                name.append(QLatin1Char(byte));
        }
        return name.simplified();
    }
    return {};
}

QSize preferredSize(const QByteArray& edid) {
    const int t = descriptorsStart;
    if (byteAt(edid, t) == 0 && byteAt(edid, t + 1) == 0)
        return {};
    const int width = byteAt(edid, t + 2) | (byteAt(edid, t + 4) & 0xF0) << 4;
    const int height = byteAt(edid, t + 5) | (byteAt(edid, t + 7) & 0xF0) << 4;
    return {width, height};
}

} // namespace

std::optional<EdidIdentity> parseEdid(const QByteArray& edid) {
    static const QByteArray header("\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00", 8);
    if (edid.size() < edidLength || !edid.startsWith(header))
        return std::nullopt;
    EdidIdentity identity;
    // The manufacturer id (bytes 8-9, big-endian) and product code (bytes 10-11, little-endian).
    identity.model = {quint32(byteAt(edid, 8)) << 8 | byteAt(edid, 9),
                      quint32(byteAt(edid, 10)) | quint32(byteAt(edid, 11)) << 8};
    identity.monitorName = monitorName(edid);
    identity.preferredSize = preferredSize(edid);
    return identity;
}
