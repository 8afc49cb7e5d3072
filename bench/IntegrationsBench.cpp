// AI session reading over 12 transcripts of 2 MB (cold, then with nothing changed), one
// activity sample of this machine and one reading of its processes from /proc.
#include "integrations/AIActivityService.h"
#include "integrations/ActivityService.h"
#include "integrations/linux/LinuxActivityReadings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

struct Transcripts {
    QTemporaryDir home;
    QList<AIActivityService::Transcript> files;

    Transcripts() {
        const QByteArray line =
                R"({"type":"response_item","timestamp":"2026-12-07T10:00:02.123Z","payload":{"type":"function_call","name":"exec_command","call_id":"c1"}})"
                "\n"
                R"({"type":"response_item","timestamp":"2026-12-07T10:00:03.456Z","payload":{"type":"function_call_output","call_id":"c1"}})"
                "\n"
                R"({"type":"event_msg","timestamp":"2026-12-07T10:00:04Z","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":1000,"output_tokens":200,"cached_input_tokens":800,"total_tokens":1200}}}})"
                "\n";
        QByteArray contents;
        while (contents.size() < 2 * 1024 * 1024)
            contents += line;
        for (int i = 0; i < 6; ++i) {
            for (const char* folder : {".codex/sessions", ".claude/projects/p"}) {
                const QString path =
                        home.filePath(QStringLiteral("%1/s%2.jsonl").arg(folder).arg(i));
                QDir().mkpath(QFileInfo(path).path());
                QFile file(path);
                file.open(QIODevice::WriteOnly);
                file.write(contents);
            }
        }
        files = AIActivityService::findTranscripts(home.path());
    }
};

void aiReadCold(benchmark::State& state) {
    Transcripts transcripts;
    for (auto _ : state)
        benchmark::DoNotOptimize(AIActivityService::readSessions(transcripts.files, {}));
}
BENCHMARK(aiReadCold)->Unit(benchmark::kMillisecond);

void aiReadUnchanged(benchmark::State& state) {
    Transcripts transcripts;
    const auto cache = AIActivityService::readSessions(transcripts.files, {});
    for (auto _ : state)
        benchmark::DoNotOptimize(AIActivityService::readSessions(transcripts.files, cache));
}
BENCHMARK(aiReadUnchanged)->Unit(benchmark::kMicrosecond);

void aiFindTranscripts(benchmark::State& state) {
    Transcripts transcripts;
    for (auto _ : state)
        benchmark::DoNotOptimize(AIActivityService::findTranscripts(transcripts.home.path()));
}
BENCHMARK(aiFindTranscripts)->Unit(benchmark::kMicrosecond);

void activitySample(benchmark::State& state) {
    ActivityService service(std::make_unique<LinuxActivityReadings>(),
                            std::make_shared<SystemClock>());
    service.sample();
    for (auto _ : state)
        service.sample();
}
BENCHMARK(activitySample)->Unit(benchmark::kMicrosecond);

void processTable(benchmark::State& state) {
    LinuxActivityReadings readings;
    qsizetype processes = 0;
    for (auto _ : state)
        processes =
                readings.processes().value_or(ActivityReadings::ProcessTable()).processes.size();
    state.counters["processes"] = double(processes);
}
BENCHMARK(processTable)->Unit(benchmark::kMicrosecond);

} // namespace
