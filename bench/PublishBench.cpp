// One heartbeat's publishing for a dashboard of twenty widgets (every included package, one of
// them twice): each widget's snapshot built, turned into text, checked against what its page has,
// and handed to its channel the way a page's channel sends it on. No page is loaded: the channel's
// far end is a transport that writes each message out as text and drops it.
#include "store/TarnStore.h"
#include "support/ScriptedReadings.h"
#include "widgets/SnapshotFeed.h"
#include "widgets/web/WidgetChannelEndpoint.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QWebChannel>
#include <QWebChannelAbstractTransport>
#include <benchmark/benchmark.h>

namespace {

// The page's end of a channel: it asks for the dispatch signal, as the SDK's relay does, and
// serialises what it is sent.
class DiscardingTransport : public QWebChannelAbstractTransport {
public:
    qint64 bytes = 0;

    void sendMessage(const QJsonObject& message) override {
        bytes += QJsonDocument(message).toJson(QJsonDocument::Compact).size();
    }

    void listenTo(const QObject& endpoint) {
        enum { init = 3, connectToSignal = 7 };
        emit messageReceived({{"type", init}, {"id", 0}}, this);
        const int dispatch = endpoint.metaObject()->indexOfSignal("dispatch(QString,QString)");
        emit messageReceived({{"type", connectToSignal}, {"object", "tarn"}, {"signal", dispatch}},
                             this);
    }
};

// What a placed widget holds for publishing: its feed and its channel.
struct PlacedWidget {
    SnapshotFeed feed;
    QWebChannel channel;
    WidgetChannelEndpoint endpoint{[](const QString&) {}, [] {}};
    DiscardingTransport transport;

    PlacedWidget(const WidgetManifest& manifest, TarnStore& store, const QString& instance)
        : feed(manifest, store, instance) {
        channel.registerObject(QStringLiteral("tarn"), &endpoint);
        channel.connectTo(&transport);
        transport.listenTo(endpoint);
    }

    // What the web widget does with the store's news.
    void publish() {
        const std::optional<QByteArray> json = feed.next(false);
        if (json)
            emit endpoint.dispatch(QStringLiteral("_update"), QString::fromUtf8('[' + *json + ']'));
    }
};

struct TwentyWidgets {
    QTemporaryDir folder;
    ScriptedReadings* readings = nullptr;
    std::unique_ptr<TarnStore> store;
    std::vector<std::unique_ptr<PlacedWidget>> widgets;
    quint64 busy = 0;

    TwentyWidgets() {
        TarnStore::Environment environment;
        environment.directory = folder.filePath("Tarn");
        environment.resources = TABLORA_RESOURCES_DIRECTORY;
        environment.startTimer = false;
        auto scripted = std::make_unique<ScriptedReadings>();
        readings = scripted.get();
        readings->memoryReading = MachineReadings::MemoryUsage{4e9, 1e9, 0};
        readings->counters = MachineReadings::NetworkCounters{};
        readings->volumeList = {{"/", "root", "System", 5e11, 2e11, true}};
        environment.readings = std::move(scripted);
        store = std::make_unique<TarnStore>(std::move(environment));
        for (int i = 0; i < TarnStore::historyLength + 1; ++i)
            tick();
        QStringList ids;
        for (const WidgetPackage& package : store->widgets().packages())
            ids.append(package.manifest.id);
        ids.sort();
        ids.append(ids.first());
        for (int i = 0; i < ids.size(); ++i) {
            const auto package = store->widgets().package(ids[i]);
            widgets.push_back(std::make_unique<PlacedWidget>(package->manifest, *store,
                                                             QStringLiteral("bench@%1").arg(i)));
        }
        publish();
    }

    // A second of fresh readings: every metric moves.
    void tick() {
        busy += 37;
        readings->cpuReading = CPUReading{busy, busy / 3, busy * 2, 0};
        readings->now += 1;
        readings->counters->received += 150000 + busy;
        readings->counters->sent += 20000 + busy;
        store->tick(store->now().isValid() ? store->now().addSecs(1)
                                           : QDateTime::currentDateTimeUtc());
    }

    void publish() {
        for (const auto& widget : widgets)
            widget->publish();
    }
};

void publishTwentyWidgetsPerTick(benchmark::State& state) {
    TwentyWidgets dashboard;
    for (auto _ : state) {
        dashboard.tick();
        dashboard.publish();
    }
    qint64 sent = 0;
    for (const auto& widget : dashboard.widgets)
        sent += widget->transport.bytes;
    state.counters["sentPerTick"] =
            benchmark::Counter(double(sent) / double(state.iterations() + 1),
                               benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
}
BENCHMARK(publishTwentyWidgetsPerTick)->Unit(benchmark::kMicrosecond);

// The heartbeat alone, to tell its share from the publishing's.
void tickWithoutPublishing(benchmark::State& state) {
    TwentyWidgets dashboard;
    for (auto _ : state)
        dashboard.tick();
}
BENCHMARK(tickWithoutPublishing)->Unit(benchmark::kMicrosecond);

// A tick whose news changes nothing any widget shows: only the checks.
void publishUnchanged(benchmark::State& state) {
    TwentyWidgets dashboard;
    for (auto _ : state) {
        emit dashboard.store->machineChanged();
        dashboard.publish();
    }
}
BENCHMARK(publishUnchanged)->Unit(benchmark::kMicrosecond);

} // namespace
