// What a touch costs in process, from the moment the report's bytes were read off the device node
// to the work done: through the real reader (a fake device tree whose hidraw node is a socket
// pair), the controller and the dashboard with a live widget page. Taps: until the control's
// action has run. Scrolling: per moved sample, until the page has been asked to scroll. Reported
// as p50 and p99.
#include "dashboard/Dashboard.h"
#include "dashboard/WidgetContainer.h"
#include "store/StoreTouchHost.h"
#include "support/FakeTouchscreen.h"
#include "support/PackageBuilder.h"
#include "touch/views/TouchSurface.h"
#include "touch/views/WidgetTouchWindows.h"
#include "widgets/web/WebWidget.h"
#include "widgets/web/WidgetChannelEndpoint.h"
#include "widgets/web/WidgetPage.h"
#include "widgets/web/WidgetSchemeHandler.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

class TouchscreenOnly : public ScreenDirectory {
public:
    QRectF frame;
    QList<ScreenInfo> screens() const override { return {{"edge", frame, 1, 0, {}}}; }
    DisplayModel model(quint32 display) const override {
        return display == 1 ? touchscreenModel : DisplayModel{};
    }
};

// The real source, noting when each report has been read.
class StampedSource : public HidDeviceSource, private HidDeviceListener {
public:
    StampedSource(std::unique_ptr<HidDeviceSource> source, const QElapsedTimer& clock, qint64& read)
        : m_source(std::move(source)), m_clock(clock), m_read(read) {}

    int open(HidDeviceListener& listener) override {
        m_listener = &listener;
        return m_source->open(*this);
    }
    void close() override { m_source->close(); }
    Access access() const override { return m_source->access(); }

private:
    void attached(const QString& device) override { m_listener->attached(device); }
    void removed(const QString& device) override { m_listener->removed(device); }
    void report(const QString& device, QByteArrayView bytes) override {
        m_read = m_clock.nsecsElapsed();
        m_listener->report(device, bytes);
    }

    std::unique_ptr<HidDeviceSource> m_source;
    const QElapsedTimer& m_clock;
    qint64& m_read;
    HidDeviceListener* m_listener = nullptr;
};

bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

// Everything idle, so that a measurement holds only the touch's own work.
void settle() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

struct Desk {
    QTemporaryDir folder;
    FakeTouchscreen touchscreen;
    TouchscreenOnly screens;
    std::unique_ptr<TarnStore> store;
    std::unique_ptr<Dashboard> dashboard;
    std::unique_ptr<DirectTouchController> touch;
    const WidgetKind kind = *WidgetKind::named("com.example.bench");
    QElapsedTimer clock;
    qint64 read = -1;       // when the last report was read, in nanoseconds of `clock`
    qint64 dispatched = -1; // when the page was last called

    Desk() {
        PackageBuilder builder(folder.filePath("Tarn/Widgets"));
        builder.write("com.example.bench.tarnwidget",
                      PackageBuilder::validManifest("com.example.bench"));
        builder.file("com.example.bench.tarnwidget/index.html",
                     "<html><body style=\"height:4000px\"><script src=\"page.js\"></script>"
                     "</body></html>");
        builder.file("com.example.bench.tarnwidget/page.js",
                     "Tarn.controls([{id: 1, x: 20, y: 20, width: 200, height: 100}]);"
                     "Tarn.onActivate(1, () => {});");
        TarnStore::Environment environment;
        environment.directory = folder.filePath("Tarn");
        environment.resources = TABLORA_RESOURCES_DIRECTORY;
        environment.startTimer = false;
        store = std::make_unique<TarnStore>(std::move(environment));
        store->setLayout(PageLayout::preset(PageLayout::Preset::single, {kind}), Board::overview);
        store->updatePreferences([](Preferences& p) { p.board = Board::overview; });

        dashboard = std::make_unique<Dashboard>(*store);
        dashboard->setGeometry(0, 0, 2560, 720);
        dashboard->show();
        screens.frame = QRectF(dashboard->mapToGlobal(QPoint(0, 0)), QSizeF(2560, 720));
        touchscreen.add("hidraw0", {"event3"});

        DirectTouchController::Environment touchEnvironment;
        touchEnvironment.host = storeTouchHost(*store);
        touchEnvironment.screens = &screens;
        touchEnvironment.windows = std::make_unique<WidgetTouchWindows>();
        clock.start();
        touchEnvironment.devices =
                std::make_unique<StampedSource>(touchscreen.source(), clock, read);
        touchEnvironment.supportFolder = store->directory();
        touch = std::make_unique<DirectTouchController>(std::move(touchEnvironment));
        dashboard->attachTouch(*touch);
        touch->start();

        WebWidget* web = dashboard->container(kind)->web();
        if (!waitFor([&] { return web->isReady() && !web->controls().isEmpty(); }))
            qFatal("the widget page did not load");
        dashboard->touchSurface()->collect();
        // Calls into the page leave through this signal; the action has run once it fires.
        QObject::connect(web->page()->findChild<WidgetChannelEndpoint*>(),
                         &WidgetChannelEndpoint::dispatch,
                         [this] { dispatched = clock.nsecsElapsed(); });
    }

    ~Desk() {
        touch.reset();
        dashboard.reset();
    }

    QPointF onPage(double x, double y) const {
        const WebWidget* web = dashboard->container(kind)->web();
        return web->mapTo(dashboard.get(), QPointF(x, y) * web->zoom());
    }
    QByteArray touching(QPointF point) const {
        return FakeTouchscreen::touching(dashboard->mapToGlobal(point), screens.frame);
    }
    void send(const QByteArray& report) {
        touchscreen.send("hidraw0", report);
        touchscreen.drain("hidraw0");
    }

    // Sends the report and waits for the page to be called: the time from reading the report
    // to that call, in microseconds.
    double timed(const QByteArray& report) {
        settle();
        dispatched = -1;
        touchscreen.send("hidraw0", report);
        const qint64 sent = clock.nsecsElapsed();
        while (dispatched < 0) {
            QCoreApplication::processEvents();
            if (clock.nsecsElapsed() - sent > 5'000'000'000)
                qFatal("the touch reached no page");
        }
        return double(dispatched - read) / 1000;
    }
};

Desk* desk = nullptr;

void report(benchmark::State& state, std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["max_us"] = micros.back();
}

void tapOnAControl(benchmark::State& state) {
    std::vector<double> micros;
    const QByteArray down = desk->touching(desk->onPage(100, 60));
    for (auto _ : state) {
        micros.clear();
        for (int tap = 0; tap < 10000; ++tap) {
            desk->send(down);
            micros.push_back(desk->timed(FakeTouchscreen::report(false)));
        }
    }
    report(state, micros);
}
BENCHMARK(tapOnAControl)->Iterations(1)->Unit(benchmark::kMillisecond);

void movedSampleOfAScroll(benchmark::State& state) {
    std::vector<double> micros;
    for (auto _ : state) {
        micros.clear();
        desk->send(desk->touching(desk->onPage(400, 150)));
        // Past the scroll threshold first, then up and down the page in steps of 2 points.
        desk->send(desk->touching(desk->onPage(400, 180)));
        for (int sample = 0; sample < 10000; ++sample) {
            const int phase = sample % 100;
            const double y = 182 + 2 * (phase < 50 ? phase : 100 - phase);
            micros.push_back(desk->timed(desk->touching(desk->onPage(400, y))));
        }
        desk->send(FakeTouchscreen::report(false));
    }
    report(state, micros);
}
BENCHMARK(movedSampleOfAScroll)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    WidgetSchemeHandler::registerScheme();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Desk setup;
    desk = &setup;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    desk = nullptr;
    return 0;
}
