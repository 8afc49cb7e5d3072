#pragma once

#include "TouchSample.h"

#include <QByteArrayView>
#include <QPointF>
#include <optional>

// Turns the touchscreen's input report 7 into single-contact samples. Only the first contact of a
// report is read; repeated positions are suppressed so that upper layers see only changes.
class TouchDecoder {
public:
    static constexpr quint32 touchReportID = 7;
    static constexpr int minimumReportLength = 7;
    static constexpr int maximumX = 16383;
    static constexpr int maximumY = 9599;

    // bytes starts with the report ID byte.
    std::optional<TouchSample> decode(quint32 reportID, QByteArrayView bytes);

    // Forgets a contact in progress without an ended sample (device removed, reader stopped).
    void reset() { m_previous.reset(); }

    const std::optional<QPointF>& previous() const { return m_previous; }

private:
    std::optional<QPointF> m_previous;
};
