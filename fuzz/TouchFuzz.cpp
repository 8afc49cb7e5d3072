// What a touchscreen (or a device pretending to be one) could send: its report descriptor and a
// stream of reports, through the decoder, the mapping to the screen and the contact logic that
// taps, swipes, holds, drags and scrolls on a dashboard with regions.
#include "FuzzSupport.h"
#include "tests/support/ManualTasks.h"
#include "touch/HidReportDescriptor.h"
#include "touch/ScreenMapping.h"
#include "touch/TouchContacts.h"
#include "touch/TouchDecoder.h"

#include <cmath>

namespace {

const QRectF screen(0, 0, 2560, 720);

// One full-screen window whose content view is the dashboard surface.
class OneWindow : public TouchWindows {
public:
    QObject window;
    QObject view;
    QList<QObject*> windowsFrontToBack() const override { return {const_cast<QObject*>(&window)}; }
    QObject* windowOf(QObject*) const override { return const_cast<QObject*>(&window); }
    bool isShown(QObject*) const override { return true; }
    QRectF frame(QObject*) const override { return screen; }
    QObject* modalWindow() const override { return nullptr; }
    QObject* sheet(QObject*) const override { return nullptr; }
    SurfaceGeometry geometry(QObject*) const override { return {QPointF(0, 0), QPointF(0, 0)}; }
    ScrollTargets scrollTargetsAt(QObject*, QPointF) const override {
        return {const_cast<QObject*>(&view), nullptr};
    }
    void scroll(QObject*, double delta) override { FuzzSupport::require(std::isfinite(delta)); }
    void scrollPage(QObject*, QPointF, double) override {}
    void click(QObject*, QPointF point) override {
        FuzzSupport::require(screen.adjusted(-1, -1, 1, 1).contains(point));
    }
    QPointF windowOrigin(QObject*) const override { return {}; }
    void moveWindow(QObject*, QPointF origin) override {
        FuzzSupport::require(std::isfinite(origin.x()) && std::isfinite(origin.y()));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSupport::application();
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    FuzzSupport::require(HidReportDescriptor::largestInputReport(input) >= 0);

    auto clock = std::make_shared<FakeClock>();
    ManualTasks tasks(clock);
    OneWindow windows;
    QList<Board> shown{Board::overview};
    TouchHost host;
    host.directTouchEnabled = [] { return true; };
    host.pages = [] { return QList<Board>{Board::overview, Board::focus, Board::system}; };
    host.currentBoard = [&shown] { return shown.last(); };
    host.showBoard = [&shown](Board board) { shown.append(board); };
    host.swapWidgets = [](const WidgetKind&, const WidgetKind&) {};
    host.openSettings = [] {};
    host.widgetName = [](const WidgetKind& kind) { return std::optional(kind.rawValue()); };
    const TouchContacts::Outlets outlets{[](const std::optional<TouchFeedback>&) {}, [] {},
                                         [](const QString&) {}};
    TouchContacts contacts(windows, host, tasks, *clock, outlets);
    const QUuid dashboard = QUuid::createUuid();
    contacts.attachSurface(dashboard, &windows.view, true);
    int taps = 0;
    contacts.updateRegions(
            dashboard,
            {{"button", QRectF(100, 100, 200, 80), true, std::nullopt, [&taps] { ++taps; }},
             {"off", QRectF(400, 100, 200, 80), false, std::nullopt, [&taps] { ++taps; }},
             {"tile-a", QRectF(0, 300, 900, 400), true, *WidgetKind::named("today"), {}},
             {"tile-b", QRectF(1000, 300, 900, 400), true, *WidgetKind::named("notes"), {}}});

    // Each report: a length byte, a byte of time passing, then the report (its ID byte first).
    TouchDecoder decoder;
    for (size_t at = 0; at + 1 < size;) {
        const size_t length = data[at++];
        const double pause = data[at++] / 100.0;
        const size_t available = std::min(length, size - at);
        const QByteArrayView report(reinterpret_cast<const char*>(data + at), qsizetype(available));
        at += available;
        tasks.advance(pause);
        const quint32 reportID = available > 0 ? quint8(report[0]) : 0;
        const auto sample = decoder.decode(reportID, report);
        if (!sample)
            continue;
        const QPointF p = sample->normalized;
        FuzzSupport::require(p.x() >= 0 && p.x() <= 1 && p.y() >= 0 && p.y() <= 1);
        for (double rotation : {0.0, 90.0, 180.0, 270.0}) {
            const QPointF point = touchScreenPoint(p, screen, rotation);
            FuzzSupport::require(std::isfinite(point.x()) && std::isfinite(point.y()));
        }
        contacts.receive(sample->phase, touchScreenPoint(p, screen, 0));
    }
    // However the stream ended, no contact outlives the watchdog.
    tasks.advance(2 * TouchContacts::watchdogDelay);
    FuzzSupport::require(!contacts.inContact());
    return 0;
}
