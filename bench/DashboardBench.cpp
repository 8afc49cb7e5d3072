// What the dashboard costs on the main thread when the preferences change without touching the
// page (a note being typed saves on every pause), and when the page is laid out again.
#include "dashboard/Dashboard.h"
#include "store/TarnStore.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A dashboard of placeholders (no package installed): the cost of the view itself.
struct Page {
    QTemporaryDir folder;
    std::unique_ptr<TarnStore> store;
    std::unique_ptr<Dashboard> dashboard;

    Page() {
        TarnStore::Environment environment;
        environment.directory = folder.filePath("Tarn");
        environment.resources = folder.path();
        environment.startTimer = false;
        store = std::make_unique<TarnStore>(std::move(environment));
        dashboard = std::make_unique<Dashboard>(*store);
        dashboard->resize(2560, 720);
        dashboard->show();
    }
};

void preferenceChangeOffThePage(benchmark::State& state) {
    Page page;
    int round = 0;
    for (auto _ : state) {
        page.store->updatePreferences(
                [&](Preferences& p) { p.note = QStringLiteral("note %1").arg(++round); });
    }
}
BENCHMARK(preferenceChangeOffThePage)->Unit(benchmark::kMicrosecond);

void resizeWindow(benchmark::State& state) {
    Page page;
    bool wide = false;
    for (auto _ : state) {
        wide = !wide;
        page.dashboard->resize(wide ? 1920 : 1440, wide ? 540 : 405);
    }
}
BENCHMARK(resizeWindow)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
