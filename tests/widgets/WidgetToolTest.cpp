#include "widgets/tool/WidgetTool.h"

#include "support/PackageBuilder.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ToolTest : testing::Test {
    QTemporaryDir folder;
    QString data = folder.filePath("data");
    QString resources = folder.filePath("resources");
    PackageBuilder builder{folder.path()};
    QString out;
    QString err;

    int run(const QStringList& arguments) {
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        WidgetTool tool(data, resources, outStream, errStream);
        return tool.run(arguments);
    }
};

} // namespace

TEST_F(ToolTest, ValidatePrintsTheIdentityOrTheReason) {
    const QString good = builder.write("good.tarnwidget");
    EXPECT_EQ(run({"validate", good}), 0);
    EXPECT_EQ(out, "ok com.example.clock Clock\n");

    QJsonObject manifest = PackageBuilder::validManifest();
    manifest["apiVersion"] = 7;
    EXPECT_EQ(run({"validate", builder.write("bad.tarnwidget", manifest)}), 1);
    EXPECT_EQ(err, "Unsupported widget API 7\n");
    EXPECT_EQ(run({"validate", folder.filePath("missing")}), 1);
    EXPECT_EQ(err, "Cannot read package\n");
}

TEST_F(ToolTest, InstallListAndRemove) {
    builder.write("resources/Widgets/clock.tarnwidget", PackageBuilder::validManifest("clock"));
    builder.file("resources/Widgets/broken.tarnwidget/manifest.json", "{");
    EXPECT_EQ(run({"install", builder.write("new.tarnwidget",
                                            PackageBuilder::validManifest("com.example.new"))}),
              0);
    EXPECT_TRUE(out.startsWith("installed com.example.new 1.0 (Clock) at "));
    EXPECT_TRUE(QFileInfo::exists(data + "/Widgets/com.example.new.tarnwidget/manifest.json"));

    EXPECT_EQ(run({"list"}), 0);
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines.contains("clock\tClock\t1.0\tincluded"));
    EXPECT_TRUE(lines.contains("com.example.new\tClock\t1.0\tcustom"));
    EXPECT_TRUE(lines[2].startsWith("error\tbroken.tarnwidget: manifest.json: "));

    EXPECT_EQ(run({"remove", "clock"}), 1);
    EXPECT_EQ(err, "clock is included with Tablora and cannot be removed\n");
    EXPECT_EQ(run({"remove", "nothing"}), 1);
    EXPECT_EQ(err, "No installed widget has the ID nothing\n");
    EXPECT_EQ(run({"remove", "com.example.new"}), 0);
    EXPECT_EQ(out, "removed com.example.new\n");
    EXPECT_FALSE(QFileInfo::exists(data + "/Widgets/com.example.new.tarnwidget"));

    QJsonObject invalid = PackageBuilder::validManifest("x");
    invalid["entry"] = "../index.html";
    EXPECT_EQ(run({"install", builder.write("invalid.tarnwidget", invalid)}), 1);
    EXPECT_EQ(err, "Invalid resource path\n");
}

TEST_F(ToolTest, NewWritesAPackageThatValidates) {
    const QString target = folder.filePath("hello.tarnwidget");
    EXPECT_EQ(run({"new", "com.example.hello-world", target}), 0);
    EXPECT_EQ(run({"validate", target}), 0);
    EXPECT_EQ(out, "ok com.example.hello-world Hello World\n");
    for (const char* file : {"index.html", "widget.js", "widget.css"})
        EXPECT_GT(QFileInfo(target + "/" + file).size(), 0) << file;

    EXPECT_EQ(run({"new", "com.example.hello-world", target}), 1);
    EXPECT_TRUE(err.endsWith("already exists\n"));
    EXPECT_EQ(run({"new", "Bad_ID", folder.filePath("bad.tarnwidget")}), 1);
    EXPECT_EQ(err, "Invalid widget identity\n");
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("bad.tarnwidget")));
}

TEST_F(ToolTest, UsageAndMisuse) {
    EXPECT_EQ(run({"--help"}), 0);
    for (const char* command : {"validate", "install", "remove", "list", "new"})
        EXPECT_TRUE(out.contains(command)) << command;
    EXPECT_EQ(run({}), 2);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({"validate"}), 2);
    EXPECT_TRUE(err.startsWith("Usage: tablora-widget"));
}

TEST_F(ToolTest, SnapshotShowsWhatAWidgetReceives) {
    EXPECT_EQ(run({"snapshot", "--permissions", "storage,focus"}), 0);
    const QJsonObject state = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(state.keys(), QStringList({"apiVersion", "focus", "instanceID", "now", "showSeconds",
                                         "storage", "theme"}));
    EXPECT_EQ(state["instanceID"], "tablora-widget.snapshot");
    EXPECT_TRUE(out.startsWith("{\"apiVersion\":1,"));

    EXPECT_EQ(run({"snapshot", "--permissions", "notes", "--instance", "notes@1"}), 0);
    EXPECT_EQ(QJsonDocument::fromJson(out.toUtf8()).object()["instanceID"], "notes@1");

    EXPECT_EQ(run({"snapshot", "--permissions", "storage,camera"}), 1);
    EXPECT_EQ(err, "Unsupported widget permission: camera\n");
    EXPECT_EQ(run({"snapshot"}), 2);
    EXPECT_EQ(run({"snapshot", "--permissions"}), 2);
    EXPECT_EQ(run({"snapshot", "--colour", "red"}), 2);
}
