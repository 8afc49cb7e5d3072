// Touch reports as the device could send them, through the decoder, the gesture and the mapping
// of panel positions to the screen.
#include "FuzzSupport.h"
#include "touch/ScreenMapping.h"
#include "touch/TouchDecoder.h"
#include "touch/TouchGesture.h"

#include <cmath>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TouchDecoder decoder;
    std::optional<TouchGesture> gesture;
    double time = 0;
    // Each report: a length byte, then that many bytes (the first is the report ID).
    for (size_t at = 0; at < size;) {
        const size_t length = data[at++];
        const size_t available = std::min(length, size - at);
        const QByteArrayView report(reinterpret_cast<const char*>(data + at), qsizetype(available));
        at += available;
        time += 0.008;
        const quint32 reportID = available > 0 ? data[at - available] : 0;
        const auto sample = decoder.decode(reportID, report);
        if (!sample)
            continue;
        const QPointF p = sample->normalized;
        FuzzSupport::require(p.x() >= 0 && p.x() <= 1 && p.y() >= 0 && p.y() <= 1);
        for (double rotation : {0.0, 90.0, 180.0, 270.0}) {
            const QPointF screen = touchScreenPoint(p, QRectF(0, 0, 2560, 720), rotation);
            FuzzSupport::require(std::isfinite(screen.x()) && std::isfinite(screen.y()));
        }
        const QPointF point = touchScreenPoint(p, QRectF(0, 0, 2560, 720), 0);
        switch (sample->phase) {
        case TouchSample::Phase::began:
            gesture = TouchGesture::began(point, time);
            break;
        case TouchSample::Phase::moved:
            if (gesture)
                gesture->moveTo(point);
            break;
        case TouchSample::Phase::ended:
            if (gesture) {
                gesture->moveTo(point);
                gesture->outcome(time);
                gesture.reset();
            }
            break;
        }
    }
    return 0;
}
