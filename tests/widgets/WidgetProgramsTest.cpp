// The widget tools as a user runs them: --help and --version without a display, a wrong command
// line answered in one line, and the render tool's exit status and output for pages that work,
// throw or miss a file.
#include "support/PackageBuilder.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Finished {
    int status = -1;
    std::string out;
    std::string err;
};

struct WidgetProgramsTest : testing::Test {
    QTemporaryDir folder;
    PackageBuilder builder{folder.path()};

    // `display`: offscreen drawing; otherwise no display of any kind.
    Finished run(const QString& program, const QStringList& arguments, bool display = false) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        if (display)
            environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_DATA_HOME", folder.filePath("data"));
        // In a sanitizer build: the web engine's own allocations trip these checks at exit.
        if (environment.contains("ASAN_OPTIONS"))
            environment.insert("ASAN_OPTIONS",
                               environment.value("ASAN_OPTIONS") + ":new_delete_type_mismatch=0");
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder.path());
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(90000)) << program.toStdString();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    QString package(const QByteArray& script, const QByteArray& extraTags = "") {
        const QString root = builder.write("page.tarnwidget");
        builder.file("page.tarnwidget/index.html", "<!doctype html><p>Page</p>" + extraTags +
                                                           "<script src=\"page.js\"></script>");
        builder.file("page.tarnwidget/page.js", script);
        return root;
    }
};

} // namespace

TEST_F(WidgetProgramsTest, HelpAndVersionNeedNoDisplayAndMistakesTakeOneLine) {
    for (const QString& program : {QString(TABLORA_WIDGET), QString(TABLORA_WIDGET_RENDER)}) {
        const std::string name = QFileInfo(program).fileName().toStdString();
        Finished finished = run(program, {"--help"});
        EXPECT_EQ(finished.status, 0) << name << finished.err;
        EXPECT_EQ(finished.out.rfind("Usage: " + name, 0), 0u) << finished.out;
        EXPECT_EQ(finished.err, "");
        finished = run(program, {"--version"});
        EXPECT_EQ(finished.status, 0) << name;
        EXPECT_EQ(finished.out, name + " " TABLORA_VERSION "\n");
        finished = run(program, {"--bogus"});
        EXPECT_EQ(finished.status, 2) << name;
        EXPECT_EQ(finished.err, name + ": unknown option '--bogus'\nTry '" + name + " --help'.\n");
        EXPECT_EQ(finished.out, "");
    }
    // "dev" is checked before any window is opened.
    Finished finished = run(TABLORA_WIDGET, {"dev"});
    EXPECT_EQ(finished.status, 2);
    EXPECT_EQ(finished.err, "tablora-widget: dev needs a package folder\n"
                            "Try 'tablora-widget --help'.\n");
    finished = run(TABLORA_WIDGET_RENDER, {"only-one-argument"});
    EXPECT_EQ(finished.status, 2);
    EXPECT_EQ(finished.err, "tablora-widget-render: missing the picture to write, such as out.png\n"
                            "Try 'tablora-widget-render --help'.\n");
}

TEST_F(WidgetProgramsTest, RenderPrintsTheConsoleAndFailsForAThrowingPageOrAMissingFile) {
    const QString picture = folder.filePath("out.png");
    // A page that works: the picture and not a word from the engine.
    Finished finished =
            run(TABLORA_WIDGET_RENDER,
                {package("console.log('drawn', 1);\n"), picture, "--wait", "200"}, true);
    EXPECT_EQ(finished.status, 0) << finished.err;
    EXPECT_EQ(finished.err, "page.js:1: info: drawn 1\n");
    EXPECT_TRUE(QFileInfo(picture).size() > 0);

    QFile::remove(picture);
    finished = run(TABLORA_WIDGET_RENDER,
                   {package("console.warn('about to throw');\nnull.property;\n"), picture, "--wait",
                    "200"},
                   true);
    EXPECT_EQ(finished.status, 1);
    EXPECT_EQ(finished.err, "page.js:1: warning: about to throw\n"
                            "page.js:2: error: Uncaught TypeError: Cannot read properties of null "
                            "(reading 'property')\n"
                            "The page threw an error (above); the picture shows it as it was.\n");
    EXPECT_TRUE(QFileInfo::exists(picture));

    finished = run(
            TABLORA_WIDGET_RENDER,
            {package("", "<link rel=\"stylesheet\" href=\"gone.css\">"), picture, "--wait", "200"},
            true);
    EXPECT_EQ(finished.status, 1);
    EXPECT_EQ(finished.err, "gone.css: failed to load: gone.css: No such file or directory\n"
                            "1 file(s) failed to load (above).\n");
}

TEST_F(WidgetProgramsTest, RenderWithTheSampleShowsThePageOnlyTheSampleState) {
    const QString picture = folder.filePath("out.png");
    // Every state the page ever gets is printed: the sample's clock, never this computer's, and
    // not the entry its permissions do not give.
    const QString root = package("Tarn.onUpdate((state) => console.log(state.now, "
                                 "'calendar' in state, state.touchMode));\n");
    builder.file("page.tarnwidget/preview.json",
                 R"({"now": 1767350000000, "calendar": {"events": []}, "touchMode": true})");
    Finished finished =
            run(TABLORA_WIDGET_RENDER, {root, picture, "--sample", "--wait", "200"}, true);
    EXPECT_EQ(finished.status, 0) << finished.err;
    EXPECT_EQ(finished.err, "page.js:1: info: 1767350000000 false true\n");
    EXPECT_TRUE(QFileInfo(picture).size() > 0);

    // A sample that is no JSON object is said and left out; the picture is drawn all the same.
    QFile::remove(picture);
    builder.file("page.tarnwidget/preview.json", "[1, 2]");
    finished = run(TABLORA_WIDGET_RENDER, {root, picture, "--sample", "--wait", "200"}, true);
    EXPECT_EQ(finished.status, 1);
    EXPECT_TRUE(QString::fromStdString(finished.err)
                        .startsWith("The sample state must be a JSON object: preview.json; drawn "
                                    "with a neutral state.\npage.js:1: info: "))
            << finished.err;
    EXPECT_TRUE(QFileInfo::exists(picture));
}
