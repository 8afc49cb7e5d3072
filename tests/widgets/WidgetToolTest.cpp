#include "tools/WidgetTool.h"

#include "support/PackageBuilder.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ToolTest : testing::Test {
    QTemporaryDir folder;
    QString data = folder.filePath("data");
    QString resources = folder.filePath("resources");
    PackageBuilder builder{folder.path()};
    WidgetToolOptions options;
    std::string out;
    std::string err;

    int run(const QStringList& arguments) {
        QString outText;
        QString errText;
        int status = 0;
        {
            QTextStream outStream(&outText);
            QTextStream errStream(&errText);
            WidgetTool tool(data, resources, outStream, errStream, {}, options);
            status = tool.run(arguments);
        }
        out = outText.toStdString();
        err = errText.toStdString();
        return status;
    }

    // Every file under a folder with its contents, to tell whether anything changed.
    static QStringList tree(const QString& root) {
        QStringList entries;
        QDirIterator walk(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                          QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QString path = walk.next();
            QFile file(path);
            entries.append(QDir(root).relativeFilePath(path) + "=" +
                           (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()));
        }
        entries.sort();
        return entries;
    }
};

// The working folder for one block, restored afterwards.
struct WorkingFolder {
    QString previous = QDir::currentPath();
    explicit WorkingFolder(const QString& path) { QDir::setCurrent(path); }
    ~WorkingFolder() { QDir::setCurrent(previous); }
};

QJsonObject manifestWith(const QString& id, const QString& version) {
    QJsonObject manifest = PackageBuilder::validManifest(id);
    manifest["version"] = version;
    return manifest;
}

} // namespace

TEST_F(ToolTest, ValidatePrintsTheIdentityOrWhatToFix) {
    const QString good = builder.write("good.tarnwidget");
    EXPECT_EQ(run({"validate", good}), 0);
    EXPECT_EQ(out, "ok com.example.clock Clock\n");

    QJsonObject manifest = PackageBuilder::validManifest();
    manifest["apiVersion"] = 7;
    EXPECT_EQ(run({"validate", builder.write("bad.tarnwidget", manifest)}), 1);
    EXPECT_EQ(err, "Unsupported widget API 7: apiVersion must be 1\n");
    EXPECT_EQ(run({"validate", folder.filePath("missing")}), 1);
    EXPECT_EQ(err, "Cannot read package: \"" + folder.filePath("missing").toStdString() +
                           "\" does not exist\n");

    // A misspelt key is ignored with a warning; the key it should have been is then missing.
    QJsonObject misspelt = PackageBuilder::validManifest();
    misspelt["categroy"] = "Tools";
    EXPECT_EQ(run({"validate", builder.write("warned.tarnwidget", misspelt)}), 0);
    EXPECT_EQ(err, "warning: manifest.json:4: unknown key \"categroy\" is ignored (did you mean "
                   "\"category\"?)\n");
    misspelt.remove("permissions");
    misspelt["permisions"] = QJsonArray{"focus"};
    EXPECT_EQ(run({"validate", builder.write("warned.tarnwidget", misspelt)}), 1);
    EXPECT_EQ(err, "manifest.json: the required key \"permissions\" is missing\n"
                   "warning: manifest.json:4: unknown key \"categroy\" is ignored (did you mean "
                   "\"category\"?)\n"
                   "warning: manifest.json:8: unknown key \"permisions\" is ignored (did you "
                   "mean \"permissions\"?)\n");

    // A sample state the library cannot use, or with entries the widget never receives.
    builder.file("good.tarnwidget/preview.json", R"({"now": 1, "note": "private"})");
    EXPECT_EQ(run({"validate", good}), 0);
    EXPECT_EQ(err, "warning: preview.json: entry \"note\" is left out: the widget's permissions "
                   "never give it that\n");
    builder.file("good.tarnwidget/preview.json", "[]");
    EXPECT_EQ(run({"validate", good}), 0);
    EXPECT_EQ(err, "warning: preview.json: The sample state must be a JSON object: preview.json; "
                   "the library draws the widget with a neutral state\n");

    // A package's words are shown, never obeyed: a newline would forge a line of output, an
    // escape sequence drive the terminal.
    QJsonObject forging = PackageBuilder::validManifest();
    forging["name"] = "Clock\nok com.example.forged Forged";
    EXPECT_EQ(run({"validate", builder.write("forging.tarnwidget", forging)}), 0);
    EXPECT_EQ(out, "ok com.example.clock Clock\\nok com.example.forged Forged\n");
    forging["entry"] = "\x1b[2J.html";
    forging["categroy\x1b[2J"] = "Tools";
    EXPECT_EQ(run({"validate", builder.write("forging.tarnwidget", forging)}), 1);
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
    EXPECT_NE(err.find("\\x1b[2J.html"), std::string::npos) << err;
}

TEST_F(ToolTest, InstallFromEveryFormOfPath) {
    const QString installed = data + "/Widgets/com.example.clock.tarnwidget/manifest.json";
    builder.write("work/hello.tarnwidget");
    builder.file("work/sub/.keep", "");
    QDir().mkpath(builder.path("elsewhere"));
    ASSERT_TRUE(
            QFile::link(builder.path("work/hello.tarnwidget"), builder.path("link.tarnwidget")));
    ASSERT_TRUE(QFile::link(builder.path("work"), builder.path("linked-work")));
    struct Form {
        QString workingFolder;
        QString path;
    };
    const QList<Form> forms = {
            {builder.path("work"), "hello.tarnwidget"},
            {builder.path("work"), "./hello.tarnwidget"},
            {builder.path("work/sub"), "../hello.tarnwidget"},
            {builder.path("work"), "hello.tarnwidget/"},
            {builder.path("elsewhere"), "../link.tarnwidget"},
            {folder.path(), "linked-work/hello.tarnwidget"},
    };
    for (const Form& form : forms) {
        QDir(data + "/Widgets").removeRecursively();
        WorkingFolder inside(form.workingFolder);
        EXPECT_EQ(run({"install", form.path}), 0) << form.path.toStdString() << ": " << err;
        EXPECT_TRUE(QFileInfo::exists(installed)) << form.path.toStdString();
        EXPECT_EQ(run({"validate", form.path}), 0) << form.path.toStdString() << ": " << err;
    }
}

TEST_F(ToolTest, AFailedInstallLeavesTheInstalledSetAsItWas) {
    ASSERT_EQ(run({"install", builder.write("one.tarnwidget", manifestWith("com.example.a", "1"))}),
              0);
    ASSERT_EQ(run({"install", builder.write("two.tarnwidget", manifestWith("com.example.b", "1"))}),
              0);
    const QStringList before = tree(data + "/Widgets");

    QJsonObject invalid = manifestWith("com.example.a", "2");
    invalid["entry"] = "../index.html";
    EXPECT_EQ(run({"install", builder.write("invalid.tarnwidget", invalid)}), 1);
    EXPECT_EQ(err.substr(0, 22), "Invalid resource path:");
    const QString linked = builder.write("linked.tarnwidget", manifestWith("com.example.b", "2"));
    ASSERT_TRUE(QFile::link("/etc/hostname", linked + "/hostname"));
    EXPECT_EQ(run({"install", linked}), 1);
    EXPECT_EQ(err, "Symbolic links are not allowed: \"hostname\" is a link; copy the file it "
                   "points to into the package\n");
    EXPECT_EQ(tree(data + "/Widgets"), before);
}

TEST_F(ToolTest, InstallListAndRemove) {
    const TemporaryTrash trash;
    builder.write("resources/Widgets/clock.tarnwidget", PackageBuilder::validManifest("clock"));
    builder.file("resources/Widgets/broken.tarnwidget/manifest.json", "{");
    EXPECT_EQ(run({"install", builder.write("new.tarnwidget",
                                            PackageBuilder::validManifest("com.example.new"))}),
              0);
    EXPECT_EQ(out.rfind("installed com.example.new 1.0 (Clock) at ", 0), 0u);
    // The next step: installing does not place the widget.
    const std::string placing = "\nTo place it: in the settings’ Widgets tab (tablora --settings "
                                "widgets), choose Clock, then “Add to Page…”.\n";
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    EXPECT_NE(out.find(placing), std::string::npos) << out;
    EXPECT_EQ(run({"install",
                   builder.write("mine.tarnwidget", PackageBuilder::validManifest("clock"))}),
              0);
    EXPECT_NE(out.find("\nIt replaces the included widget “Clock” (clock).\n"), std::string::npos)
            << out;
    EXPECT_EQ(run({"remove", "clock"}), 0);
    EXPECT_TRUE(QFileInfo::exists(data + "/Widgets/com.example.new.tarnwidget/manifest.json"));

    EXPECT_EQ(run({"list"}), 0);
    const QStringList lines = QString::fromStdString(out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines.contains("clock\tClock\t1.0\tincluded"));
    EXPECT_TRUE(lines.contains("com.example.new\tClock\t1.0\tcustom"));
    EXPECT_TRUE(lines[2].startsWith("error\tbroken.tarnwidget: manifest.json: invalid JSON at line "
                                    "1, column 2"));

    EXPECT_EQ(run({"remove", "clock"}), 1);
    EXPECT_EQ(err, "clock is included with Tablora and cannot be removed\n");
    EXPECT_EQ(run({"remove", "nothing"}), 1);
    EXPECT_EQ(err, "No installed widget has the ID nothing\n");
    // Removing a widget that is placed says where its tiles become placeholders.
    Preferences placed;
    placed.pageLayouts["Focus"] = PageLayout::preset(
            PageLayout::Preset::two, {WidgetKind::instance("com.example.new"),
                                      *WidgetKind::named("com.example.new@second")});
    placed.pageLayouts["System"] =
            PageLayout::preset(PageLayout::Preset::single, {*WidgetKind::named("com.example.new")});
    writeFile(data + "/preferences.json", placed.toJson());
    EXPECT_EQ(run({"remove", "com.example.new"}), 0);
    EXPECT_EQ(out, "removed com.example.new: its folder is in the Trash, at " +
                           trash.dataHome.toStdString() +
                           "/Trash/files/com.example.new.tarnwidget\n"
                           "It is placed on pages 2 and 3: those tiles show “Widget unavailable” "
                           "until you "
                           "install it again or replace it in the settings’ Layouts tab.\n");
    EXPECT_FALSE(QFileInfo::exists(data + "/Widgets/com.example.new.tarnwidget"));

    // An OSC 52 sequence in a name would set the clipboard; a folder's name is no safer.
    QJsonObject hostile = PackageBuilder::validManifest("com.example.hostile");
    hostile["name"] = "Evil\x1b]52;c;aGk=\x07";
    hostile["version"] = "1.0\u2028";
    builder.file("resources/Widgets/bad\x1b[2J.tarnwidget/manifest.json", "{");
    EXPECT_EQ(run({"install", builder.write("hostile.tarnwidget", hostile)}), 0);
    EXPECT_EQ(
            out.rfind("installed com.example.hostile 1.0\\u2028 (Evil\\x1b]52;c;aGk=\\x07) at ", 0),
            0u)
            << out;
    EXPECT_EQ(run({"list"}), 0);
    EXPECT_NE(out.find("com.example.hostile\tEvil\\x1b]52;c;aGk=\\x07\t1.0\\u2028\tcustom\n"),
              std::string::npos)
            << out;
    EXPECT_NE(out.find("error\tbad\\x1b[2J.tarnwidget: manifest.json: invalid JSON"),
              std::string::npos)
            << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
}

TEST_F(ToolTest, LintWarnsAboutWhatWouldNotWork) {
    resources = TABLORA_RESOURCES_DIRECTORY;
    QJsonObject manifest = PackageBuilder::validManifest("com.example.lint");
    manifest["permissions"] = QJsonArray{"network", "focus"};
    manifest["networkOrigins"] = QJsonArray{"https://api.example.org"};
    const QString root = builder.write("lint.tarnwidget", manifest);
    builder.file("lint.tarnwidget/index.html",
                 "<!doctype html>\n"
                 "<link rel=\"stylesheet\" href=\"/_tarn/tarn.css\">\n"
                 "<link rel=\"stylesheet\" href=\"styles/missing.css\">\n"
                 "<script>document.title = 'inline';</script>\n"
                 "<script type=\"application/json\">{\"data\": 1}</script>\n"
                 "<button onclick=\"go()\">Go</button>\n"
                 "<img src=\"https://images.example.com/a.png\">\n"
                 "<img src=\"https://api.example.org/b.png\">\n"
                 "<!-- <script src=\"old.js\"></script> -->\n"
                 "<script src=\"/_tarn/nothing.js\"></script>\n"
                 "<script src=\"widget.js\"></script>\n");
    builder.file("lint.tarnwidget/widget.js",
                 "// Notes: https://notes.example.net explains this\n"
                 "const svg = 'http://www.w3.org/2000/svg';\n"
                 "Tarn.onUpdate(state => {\n"
                 "  show(state.focus.secondsLeft, state.metrics.cpu);\n"
                 "  show(state.metrics.gpu);\n"
                 "});\n"
                 "fetch('http://plain.example.org/data');\n"
                 "Tarn.command('spotify.control', { action: 'play' });\n"
                 "Tarn.command('focus.toggle');\n");
    EXPECT_EQ(run({"validate", root}), 0);
    EXPECT_EQ(out, "ok com.example.lint Clock\n");
    const QStringList warnings = QString::fromStdString(err).split('\n', Qt::SkipEmptyParts);
    const QStringList expected = {
            "warning: index.html:3: <link> points at \"styles/missing.css\", which the package "
            "does not hold",
            "warning: index.html:4: this inline <script> never runs: the content policy allows "
            "only script files of the package. Move it into a .js file and load that with "
            "<script src=\"...\">",
            "warning: index.html:6: the onclick attribute of <button> never runs: the content "
            "policy allows only script files of the package. Add the handler with "
            "addEventListener in a .js file instead",
            "warning: index.html:10: <script> points at \"/_tarn/nothing.js\", which the widget "
            "SDK does not have",
            "warning: index.html:7: https://images.example.com is not in networkOrigins, so the "
            "page cannot reach it: add \"https://images.example.com\" there, with the \"network\" "
            "permission, if the page needs it",
            "warning: widget.js:4: state.metrics seems to be read here, but the manifest does not "
            "declare \"metrics\": without it the state has no metrics section. Add \"metrics\" to "
            "permissions if the page needs it",
            "warning: widget.js:8: the command \"spotify.control\" seems to be run here, but it "
            "needs the \"spotify\" permission, which the manifest does not declare: the dashboard "
            "would refuse it. Add \"spotify\" to permissions",
            "warning: widget.js:7: http://plain.example.org is plain HTTP, which a widget can "
            "never reach: only HTTPS origins listed in networkOrigins are",
    };
    for (const QString& line : expected)
        EXPECT_TRUE(warnings.contains(line)) << line.toStdString() << "\nin:\n" << err;
    EXPECT_EQ(warnings.size(), expected.size()) << err;
}

TEST_F(ToolTest, TheIncludedWidgetsAndTheScaffoldPassWithoutWarnings) {
    resources = TABLORA_RESOURCES_DIRECTORY;
    QDirIterator packages(resources + "/Widgets", QDir::Dirs | QDir::NoDotAndDotDot);
    int checked = 0;
    while (packages.hasNext()) {
        const QString package = packages.next();
        EXPECT_EQ(run({"validate", package}), 0) << package.toStdString();
        EXPECT_EQ(err, "") << package.toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 19);

    options.author = "Ada Lovelace";
    const QString target = folder.filePath("hello.tarnwidget");
    EXPECT_EQ(run({"new", "com.example.hello-world", target}), 0);
    // What to do next, with the folder as a shell takes it back.
    EXPECT_NE(out.find("\n  tablora-widget dev " + target.toStdString() + " "), std::string::npos)
            << out;
    EXPECT_NE(out.find("\n  tablora-widget install " + target.toStdString() + " "),
              std::string::npos)
            << out;
    EXPECT_EQ(run({"new", "com.example.spaced", folder.filePath("it's mine.tarnwidget")}), 0);
    EXPECT_NE(out.find(" dev '" + folder.filePath("it'\\''s mine.tarnwidget").toStdString() + "' "),
              std::string::npos)
            << out;
    EXPECT_EQ(run({"validate", target}), 0);
    EXPECT_EQ(out, "ok com.example.hello-world Hello World\n");
    EXPECT_EQ(err, "");
    const WidgetPackage package = WidgetPackage::read(target, false);
    EXPECT_EQ(package.manifest.author, "Ada Lovelace");
    EXPECT_EQ(package.manifest.permissions, QStringList({"focus"}));
    QFile page(target + "/index.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    EXPECT_TRUE(html.startsWith("<!doctype html>"));
    EXPECT_TRUE(html.contains("href=\"/_tarn/tarn.css\""));
    EXPECT_TRUE(html.contains("data-tarn-control"));
    EXPECT_TRUE(html.contains("<title>Hello World</title>"));

    EXPECT_EQ(run({"new", "com.example.hello-world", target}), 1);
    EXPECT_EQ(err.substr(err.size() - 15), "already exists\n");
    EXPECT_EQ(run({"new", "Bad_ID", folder.filePath("bad.tarnwidget")}), 1);
    EXPECT_EQ(err.substr(0, 37), "Invalid widget identity: id \"Bad_ID\" ");
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("bad.tarnwidget")));
}

TEST_F(ToolTest, CommandLineManners) {
    EXPECT_EQ(run({"--help"}), 0);
    for (const char* command : {"validate", "install", "remove", "list", "new", "dev", "snapshot"})
        EXPECT_NE(out.find(command), std::string::npos) << command;
    EXPECT_EQ(run({"install", "--help"}), 0);
    EXPECT_EQ(out.rfind("Usage: tablora-widget", 0), 0u);
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out, "tablora-widget " TABLORA_VERSION "\n");

    const std::map<QStringList, std::string> wrong = {
            {{}, "missing command"},
            {{"frobnicate"}, "unknown command 'frobnicate'"},
            {{"--colour"}, "unknown option '--colour'"},
            {{"validate"}, "validate needs a package folder"},
            {{"validate", "a", "b"}, "unexpected argument 'b'"},
            {{"list", "--all"}, "unknown option '--all'"},
            {{"remove"}, "remove needs the ID of an installed widget"},
            {{"snapshot"}, "snapshot needs --permissions, such as --permissions metrics,focus"},
            {{"snapshot", "--permissions"}, "--permissions needs a value"},
            {{"snapshot", "--compact=yes", "--permissions", "focus"}, "--compact takes no value"},
            {{"dev"}, "dev needs a package folder"},
            {{"dev", "x.tarnwidget", "--size", "big"},
             "--size takes WIDTHxHEIGHT in points, each from 50 to 4000, not 'big'"},
    };
    for (const auto& [arguments, line] : wrong) {
        EXPECT_EQ(run(arguments), 2) << line;
        EXPECT_EQ(err, "tablora-widget: " + line + "\nTry 'tablora-widget --help'.\n");
        EXPECT_EQ(out, "");
    }
    const auto request = WidgetTool::devRequest({"--size=728x502", "x.tarnwidget"});
    ASSERT_TRUE(std::holds_alternative<WidgetTool::DevRequest>(request));
    EXPECT_EQ(std::get<WidgetTool::DevRequest>(request).size, QSize(728, 502));
    EXPECT_EQ(std::get<WidgetTool::DevRequest>(request).folder, "x.tarnwidget");
}

TEST_F(ToolTest, SnapshotShowsWhatAWidgetReceives) {
    EXPECT_EQ(run({"snapshot", "--permissions", "storage,focus"}), 0);
    const QJsonObject state = QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    EXPECT_EQ(state.keys(), QStringList({"apiVersion", "focus", "instanceID", "now", "showSeconds",
                                         "storage", "theme", "touchMode"}));
    EXPECT_EQ(state["instanceID"], "tablora-widget.snapshot");
    EXPECT_EQ(state["touchMode"], false);
    // One line unless a person reads it on a terminal.
    EXPECT_EQ(out.rfind("{\"apiVersion\":1,", 0), 0u);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    options.terminal = true;
    EXPECT_EQ(run({"snapshot", "--permissions", "focus"}), 0);
    EXPECT_EQ(out.rfind("{\n    \"apiVersion\": 1,\n", 0), 0u) << out;
    EXPECT_EQ(run({"snapshot", "--compact", "--permissions", "focus"}), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);

    // Only instances on the user's pages; the error lists them.
    EXPECT_EQ(run({"snapshot", "--permissions", "notes", "--instance", "notes@1"}), 1);
    EXPECT_EQ(err.rfind("No widget on your pages has the instance ID notes@1.\n"
                        "The instances on your pages:\n  ",
                        0),
              0u);
    EXPECT_NE(err.find("\n  cpu@example-v2-1-0\n"), std::string::npos) << err;
    EXPECT_EQ(run({"snapshot", "--permissions", "focus", "--instance", "cpu@example-v2-1-0"}), 0);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(out))
                      .object()["instanceID"]
                      .toString()
                      .toStdString(),
              "cpu@example-v2-1-0");

    EXPECT_EQ(run({"snapshot", "--permissions", "storage,camera"}), 1);
    EXPECT_EQ(err.substr(0, 41), "Unsupported widget permission: \"camera\" (");
}

// A snapshot reads the user's own data folder while the dashboard may be writing it: it must not
// write back what it read (a change the dashboard saved meanwhile would be lost), set a damaged
// file aside, or leave files in a folder the dashboard has not made yet.
TEST_F(ToolTest, SnapshotLeavesTheDataFolderAsItWas) {
    // Metrics wait a second for their rates, long enough for any pending save to run.
    const QStringList snapshot = {"snapshot", "--permissions", "metrics,focus"};
    ASSERT_EQ(run(snapshot), 0) << err;
    // Only the empty folder for installed widgets, which every command of the tool makes.
    EXPECT_EQ(tree(data).join('\n').toStdString(), "Widgets=");

    ASSERT_TRUE(QDir().mkpath(data));
    for (const QByteArray& contents :
         {QByteArray("{ \"pageCount\" :   2 }\n"), QByteArray("{ damaged")}) {
        QFile file(data + "/preferences.json");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
        file.close();
        const QStringList before = tree(data);
        ASSERT_EQ(run(snapshot), 0) << err;
        EXPECT_EQ(tree(data).join('\n').toStdString(), before.join('\n').toStdString());
    }
}
