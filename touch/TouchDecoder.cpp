#include "TouchDecoder.h"

std::optional<TouchSample> TouchDecoder::decode(quint32 reportID, QByteArrayView bytes) {
    if (reportID != touchReportID || bytes.size() < minimumReportLength ||
        quint8(bytes[0]) != touchReportID)
        return std::nullopt;
    const auto byte = [&](int index) { return quint8(bytes[index]); };

    const bool contact = byte(1) & 0x01;
    if (!contact) {
        if (!m_previous)
            return std::nullopt;
        const TouchSample ended{TouchSample::Phase::ended, *m_previous};
        m_previous.reset();
        return ended;
    }

    if (byte(3) > 0x3F)
        return std::nullopt;
    const int rawY = byte(4) | (byte(5) << 8);
    if (rawY > maximumY)
        return std::nullopt;
    const QPointF position((byte(2) + 256 * byte(3)) / double(maximumX), rawY / double(maximumY));

    // Exact comparison on purpose: any change of the raw position is a move.
    if (m_previous && m_previous->x() == position.x() && m_previous->y() == position.y())
        return std::nullopt;
    const auto phase = m_previous ? TouchSample::Phase::moved : TouchSample::Phase::began;
    m_previous = position;
    return TouchSample{phase, position};
}
