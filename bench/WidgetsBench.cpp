// Cost of scanning the widget folders (100 packages of 20 files each) and of answering one
// 1 MB resource request of a widget page.
#include "packages/WidgetRegistry.h"
#include "packages/WidgetResources.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(contents);
}

QString writePackage(const QString& folder, int number) {
    const QString id = QStringLiteral("com.example.widget%1").arg(number);
    const QString root = QDir(folder).filePath(id + QStringLiteral(".tarnwidget"));
    const QJsonObject manifest{{"apiVersion", 1},
                               {"id", id},
                               {"name", id},
                               {"version", "1"},
                               {"author", "bench"},
                               {"entry", "index.html"},
                               {"permissions", QJsonArray{"focus", "metrics"}}};
    writeFile(root + "/manifest.json", QJsonDocument(manifest).toJson());
    writeFile(root + "/index.html", "<p>widget</p>");
    for (int file = 0; file < 18; ++file)
        writeFile(root + QStringLiteral("/assets/file%1.js").arg(file), QByteArray(2048, 'x'));
    return root;
}

void scanHundredPackages(benchmark::State& state) {
    QTemporaryDir folder;
    for (int i = 0; i < 100; ++i)
        writePackage(folder.filePath("data/Widgets"), i);
    WidgetRegistry registry(folder.filePath("data"), folder.filePath("resources"));
    if (registry.packages().size() != 100)
        state.SkipWithError("packages did not validate");
    for (auto _ : state)
        registry.reload();
}
BENCHMARK(scanHundredPackages)->Unit(benchmark::kMillisecond);

void answerOneMegabyte(benchmark::State& state) {
    QTemporaryDir folder;
    const QString root = writePackage(folder.path(), 1);
    writeFile(root + "/big.js", QByteArray(1000000, 'y'));
    const WidgetResources resources(WidgetPackage::read(root, false), folder.filePath("sdk"));
    const QUrl url(QStringLiteral("tarn-widget://widget/big.js"));
    for (auto _ : state) {
        const auto answer = resources.answer(url);
        if (!answer.ok)
            state.SkipWithError("request failed");
        benchmark::DoNotOptimize(answer.body.data());
    }
}
BENCHMARK(answerOneMegabyte)->Unit(benchmark::kMicrosecond);

} // namespace
