#pragma once

#include "support/EventLoop.h"
#include "support/ManualTasks.h"
#include "support/PackageBuilder.h"
#include "support/StoreFixture.h"
#include "widgets/web/WebWidget.h"
#include "widgets/web/WidgetPage.h"

#include <QJsonArray>
#include <QJsonDocument>

// What a page costs is measured in the plain build only (see underSanitizers).
constexpr bool costsMeasured = !underSanitizers;

// A store on the source tree's resources and real widget pages on it, offscreen.
struct WebWidgetFixture : StoreFixture {
    static constexpr const char* defaultHTML = "<html><body><script src=\"page.js\"></script>"
                                               "</body></html>";

    std::vector<std::unique_ptr<WebWidget>> widgets;
    QList<QByteArray> sent;
    // Delays of the widgets (a stopped page's reload) wait for the test.
    WebWidgetFixture() { tasks = std::make_shared<ManualTasks>(clock); }

    void SetUp() override {
        customize = [](TarnStore::Environment& environment) {
            environment.resources = TABLORA_RESOURCES_DIRECTORY;
        };
    }

    void TearDown() override {
        widgets.clear(); // web views before the store
        store.reset();
    }

    // Writes a custom package of the page `html` with its script `page.js`.
    void writePackage(const QString& id, const QStringList& permissions, const QByteArray& html,
                      const QByteArray& script) {
        PackageBuilder builder(QDir(directory()).filePath("Widgets"));
        QJsonObject manifest = PackageBuilder::validManifest(id);
        manifest["name"] = "Test Widget";
        manifest["permissions"] = QJsonArray::fromStringList(permissions);
        builder.write(id + ".tarnwidget", manifest);
        builder.file(id + ".tarnwidget/index.html", html);
        builder.file(id + ".tarnwidget/page.js", script);
    }

    // Shows a package's page and waits until it has its first state.
    WebWidget& show(const QString& id, const std::optional<QString>& instance = std::nullopt) {
        if (!store)
            open();
        store->widgets().reload();
        const auto package = store->widgets().package(id);
        EXPECT_TRUE(package.has_value()) << store->widgets().errors().join("\n").toStdString();
        widgets.push_back(std::make_unique<WebWidget>(*package, *store, instance));
        WebWidget& widget = *widgets.back();
        QObject::connect(&widget, &WebWidget::snapshotSent,
                         [this](const QByteArray& json) { sent.append(json); });
        widget.resize(400, 300);
        widget.show();
        EXPECT_TRUE(waitUntil([&] { return widget.isReady() && !sent.isEmpty(); }, 30000));
        return widget;
    }

    QVariant evaluate(WebWidget& widget, const QString& script) {
        // Shared: a result that comes after the wait gave up must have somewhere to go.
        auto result = std::make_shared<std::optional<QVariant>>();
        widget.page()->runJavaScript(script, [result](const QVariant& value) { *result = value; });
        EXPECT_TRUE(waitUntil([&] { return result->has_value(); }, 20000)) << script.toStdString();
        return result->value_or(QVariant());
    }

    // Waits for a script's value to become `expected`.
    bool becomes(WebWidget& widget, const QString& script, const QVariant& expected,
                 int timeout = 10000) {
        return waitUntil([&] { return evaluate(widget, script) == expected; }, timeout);
    }

    // One line of /proc/PID/status in MB ("VmRSS", "VmHWM").
    static double statusMegabytes(qint64 pid, const QByteArray& field) {
        QFile file(QString("/proc/%1/status").arg(pid));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.startsWith(field + ':'))
                return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble() / 1024;
        return 0;
    }

    static QJsonObject json(const QByteArray& text) {
        return QJsonDocument::fromJson(text).object();
    }
};
