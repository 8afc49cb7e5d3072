// Validity check and one resize of a full twelve-section page, as the layout editor does per
// drag step.
#include "model/PageLayout.h"

#include <benchmark/benchmark.h>

namespace {

// Four columns of three rows.
PageLayout twelveSections() {
    PageLayout layout;
    for (int i = 0; i < 12; ++i) {
        const auto widget = WidgetKind::named(QStringLiteral("w%1").arg(i));
        layout.sections.append(WidgetSection{QString::number(i), widget, (i % 4) * 0.25,
                                             (i / 4) / 3.0, 0.25, 1.0 / 3.0});
    }
    return layout;
}

void isValid(benchmark::State& state) {
    const PageLayout layout = twelveSections();
    for (auto _ : state)
        benchmark::DoNotOptimize(layout.isValid());
}
BENCHMARK(isValid);

void isValidAndResize(benchmark::State& state) {
    const PageLayout original = twelveSections();
    bool wider = false;
    for (auto _ : state) {
        PageLayout layout = original;
        benchmark::DoNotOptimize(layout.isValid());
        wider = !wider;
        layout.resize(QStringLiteral("5"), PageLayout::ResizeAxis::width, wider ? 0.3 : 0.2,
                      LayoutOrientation::horizontal);
        benchmark::DoNotOptimize(layout);
    }
}
BENCHMARK(isValidAndResize);

} // namespace
