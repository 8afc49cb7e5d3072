// Cost of handling one touch report: decoding it, and classifying a finished contact.
#include "touch/TouchDecoder.h"
#include "touch/TouchGesture.h"

#include <array>
#include <benchmark/benchmark.h>

namespace {

std::array<char, 7> report(bool contact, int x, int y) {
    return {7, char(contact), char(x & 0xFF), char(x >> 8), char(y & 0xFF), char(y >> 8), 0};
}

// A contact that moves every report, then lifts: began, moved..., ended.
void decodeMovingContact(benchmark::State& state) {
    std::array<std::array<char, 7>, 64> reports;
    for (int i = 0; i < 63; ++i)
        reports[i] = report(true, 100 + i * 37, 200 + i * 11);
    reports[63] = report(false, 0, 0);
    TouchDecoder decoder;
    size_t index = 0;
    for (auto _ : state) {
        const auto& bytes = reports[index++ & 63];
        benchmark::DoNotOptimize(decoder.decode(7, QByteArrayView(bytes.data(), bytes.size())));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(decodeMovingContact);

void decodeAndClassify(benchmark::State& state) {
    const auto down = report(true, 8000, 4000);
    const auto moved = report(true, 8600, 4100);
    const auto up = report(false, 0, 0);
    TouchDecoder decoder;
    double now = 0;
    for (auto _ : state) {
        std::optional<TouchGesture> gesture;
        for (const auto* bytes : {&down, &moved, &up}) {
            const auto sample = decoder.decode(7, QByteArrayView(bytes->data(), bytes->size()));
            const QPointF point = sample->normalized * 1000;
            if (sample->phase == TouchSample::Phase::began)
                gesture = TouchGesture::began(point, now);
            else
                gesture->moveTo(point);
        }
        now += 0.05;
        benchmark::DoNotOptimize(gesture->outcome(now));
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(decodeAndClassify);

} // namespace
