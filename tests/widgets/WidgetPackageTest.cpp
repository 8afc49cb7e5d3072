#include "packages/WidgetPackage.h"

#include "model/WidgetError.h"
#include "packages/SampleState.h"
#include "support/PackageBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct PackageTest : testing::Test {
    QTemporaryDir folder;
    PackageBuilder builder{folder.path()};

    // The validation failure's message, or "ok".
    QString outcome(const QString& root) const {
        try {
            WidgetPackage::read(root, false);
            return "ok";
        } catch (const WidgetError& error) {
            return error.message();
        }
    }

    QString outcomeWith(const std::function<void(QJsonObject&)>& edit) {
        QJsonObject manifest = PackageBuilder::validManifest();
        edit(manifest);
        return outcome(builder.write("p.tarnwidget", manifest));
    }

    QString resolution(const QString& path, const QString& root) const {
        try {
            return WidgetPackage::resource(path, root);
        } catch (const WidgetError& error) {
            return error.message();
        }
    }
};

} // namespace

TEST_F(PackageTest, AValidPackageKeepsItsRootAndFlag) {
    const QString root = builder.write("clock.tarnwidget");
    const WidgetPackage package = WidgetPackage::read(root, true);
    EXPECT_EQ(package.id(), "com.example.clock");
    EXPECT_EQ(package.root, root);
    EXPECT_TRUE(package.bundled);
}

TEST_F(PackageTest, EntryAndByteLimits) {
    const QString root = builder.write("p.tarnwidget");
    // manifest.json and index.html are two entries; add folders up to exactly 250.
    for (int i = 0; i < 248; ++i)
        QDir(root).mkdir(QString("d%1").arg(i));
    EXPECT_EQ(outcome(root), "ok");
    QDir(root).mkdir("one-more");
    EXPECT_EQ(outcome(root), "Package exceeds 10 MB or 250 files");

    const QString big = builder.write("big.tarnwidget");
    const qint64 used =
            QFileInfo(big + "/manifest.json").size() + QFileInfo(big + "/index.html").size();
    builder.file("big.tarnwidget/data.bin", QByteArray(WidgetPackage::maximumBytes - used, 'x'));
    EXPECT_EQ(outcome(big), "ok");
    builder.file("big.tarnwidget/extra.bin", "x");
    EXPECT_EQ(outcome(big), "Package exceeds 10 MB or 250 files");
}

TEST_F(PackageTest, SymbolicLinksAnywhereAreRefused) {
    const QString root = builder.write("p.tarnwidget");
    builder.file("p.tarnwidget/deep/er/file.txt", "x");
    ASSERT_TRUE(QFile::link("/etc/hostname", root + "/deep/er/link"));
    EXPECT_EQ(outcome(root), "Symbolic links are not allowed");

    const QString real = builder.write("real.tarnwidget");
    const QString linked = builder.path("linked.tarnwidget");
    ASSERT_TRUE(QFile::link(real, linked));
    EXPECT_EQ(outcome(linked), "Symbolic links are not allowed");
    EXPECT_EQ(outcome(linked + "/"), "Symbolic links are not allowed");

    // A dangling link is still a link.
    const QString dangling = builder.write("dangling.tarnwidget");
    ASSERT_TRUE(QFile::link("/nonexistent", dangling + "/gone"));
    EXPECT_EQ(outcome(dangling), "Symbolic links are not allowed");
}

TEST_F(PackageTest, NamesThatAreNotTextCannotHideALink) {
    const QString root = builder.write("p.tarnwidget");
    const QByteArray name = QFile::encodeName(root) + "/\xff\xfe-link";
    ASSERT_EQ(::symlink("/etc", name.constData()), 0);
    EXPECT_EQ(outcome(root), "Symbolic links are not allowed");
}

TEST_F(PackageTest, FoldersThatCannotBeRead) {
    EXPECT_EQ(outcome(builder.path("missing.tarnwidget")), "Cannot read package");
    EXPECT_EQ(outcome(builder.file("plain.tarnwidget", "not a folder")), "Cannot read package");
    const QString noManifest = builder.path("empty.tarnwidget");
    QDir().mkpath(noManifest);
    EXPECT_TRUE(outcome(noManifest).startsWith("manifest.json: "));
    // A pipe in the manifest's place is refused rather than waited on.
    const QString piped = builder.path("piped.tarnwidget");
    QDir().mkpath(piped);
    ASSERT_EQ(::mkfifo(QFile::encodeName(piped + "/manifest.json").constData(), 0600), 0);
    EXPECT_EQ(outcome(piped), "manifest.json: not a regular file");
}

TEST_F(PackageTest, ManifestSizeAndShape) {
    QJsonObject padded = PackageBuilder::validManifest();
    padded["padding"] = "";
    const QString root = builder.write("p.tarnwidget", padded);
    const qint64 size = QFileInfo(root + "/manifest.json").size();
    padded["padding"] = QString(WidgetPackage::maximumManifestBytes - size, 'x');
    builder.write("p.tarnwidget", padded);
    ASSERT_EQ(QFileInfo(root + "/manifest.json").size(), WidgetPackage::maximumManifestBytes);
    EXPECT_EQ(outcome(root), "ok");
    padded["padding"] = QString(WidgetPackage::maximumManifestBytes - size + 1, 'x');
    builder.write("p.tarnwidget", padded);
    EXPECT_EQ(outcome(root), "Manifest is too large");

    builder.file("p.tarnwidget/manifest.json", "[1, 2]");
    EXPECT_TRUE(outcome(root).startsWith("manifest.json: "));
    builder.file("p.tarnwidget/manifest.json", "{\"apiVersion\": ");
    EXPECT_TRUE(outcome(root).startsWith("manifest.json: "));
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["name"] = 5; }),
              "manifest.json: name: expected a string");
}

TEST_F(PackageTest, ApiVersionAndIdentity) {
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["apiVersion"] = 2; }), "Unsupported widget API 2");
    for (const QString& id : {QString("Clock"), QString("1clock"), QString(""), QString(81, 'a'),
                              QString("a_b"), QString("a b")})
        EXPECT_EQ(outcomeWith([&](QJsonObject& m) { m["id"] = id; }), "Invalid widget identity")
                << id.toStdString();
    for (const QString& id : {QString("a"), QString("com.example.clock-2"), QString(80, 'z')})
        EXPECT_EQ(outcomeWith([&](QJsonObject& m) { m["id"] = id; }), "ok") << id.toStdString();
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["name"] = QString(81, 'n'); }),
              "Invalid widget identity");
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["name"] = ""; }), "Invalid widget identity");
    // Eighty user-visible characters, each two UTF-16 units long.
    QString emoji;
    for (int i = 0; i < 80; ++i)
        emoji += QString::fromUtf8("😀");
    EXPECT_EQ(outcomeWith([&](QJsonObject& m) { m["name"] = emoji; }), "ok");
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["version"] = ""; }), "Invalid widget identity");
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["author"] = ""; }), "ok");
}

TEST_F(PackageTest, CategoryAndPermissions) {
    const QString categoryMessage = QString::fromUtf8("Category must contain 1–40 characters");
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["category"] = "   "; }), categoryMessage);
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["category"] = QString(41, 'c'); }),
              categoryMessage);
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["category"] = QString(40, 'c'); }), "ok");
    EXPECT_EQ(outcomeWith([](QJsonObject& m) {
                  m["permissions"] = QJsonArray{"focus", "camera"};
              }),
              "Unsupported widget permission");
    EXPECT_EQ(outcomeWith([](QJsonObject& m) {
                  m["permissions"] = QJsonArray{"focus", "focus"};
              }),
              "ok");
}

TEST_F(PackageTest, NetworkOriginsMustBeExplicitHttpsOrigins) {
    const QString message =
            "Network origins must be explicit HTTPS origins with the network permission";
    const auto origins = [&](const QString& origin, bool network = true) {
        return outcomeWith([&](QJsonObject& m) {
            m["networkOrigins"] = QJsonArray{origin};
            m["permissions"] = network ? QJsonArray{"network"} : QJsonArray{};
        });
    };
    EXPECT_EQ(origins("https://api.example.org"), "ok");
    EXPECT_EQ(origins("https://api.example.org:8443"), "ok");
    EXPECT_EQ(origins("https://api.example.org", false), message);
    for (const char* bad : {"https://api.example.org/", "http://api.example.org",
                            "https://api.example.org?x=1", "https://me@api.example.org",
                            "HTTPS://api.example.org", "https://api.example.org:", "https://[::1]",
                            "https://api.example.org#top", "api.example.org", "https://"})
        EXPECT_EQ(origins(bad), message) << bad;
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["permissions"] = QJsonArray{"network"}; }), "ok");
}

TEST_F(PackageTest, WidthsBetween220And1100) {
    const QString message = "Widget widths must be between 220 and 1100";
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["preferredWidth"] = 219.9; }), message);
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["preferredWidth"] = 1100.5; }), message);
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["preferredWidth"] = 220; }), "ok");
    EXPECT_EQ(outcomeWith([](QJsonObject& m) {
                  m["boardWidths"] = QJsonObject{{"Focus", 1100}, {"Anything", 500}};
              }),
              "ok");
    EXPECT_EQ(outcomeWith([](QJsonObject& m) {
                  m["boardWidths"] = QJsonObject{{"Focus", 50}};
              }),
              message);
}

TEST_F(PackageTest, TheEntryMustBeAnExistingHtmlFileInside) {
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["entry"] = "missing.html"; }),
              "Entry must be an existing HTML file");
    builder.file("p.tarnwidget/page.htm", "<p>");
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["entry"] = "page.htm"; }),
              "Entry must be an existing HTML file");
    builder.file("p.tarnwidget/PAGE.HTML", "<p>");
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["entry"] = "PAGE.HTML"; }), "ok");
    for (const char* path : {"/index.html", "../index.html", "a\\index.html", ""})
        EXPECT_EQ(outcomeWith([&](QJsonObject& m) { m["entry"] = path; }), "Invalid resource path")
                << path;
    EXPECT_EQ(outcomeWith([](QJsonObject& m) { m["entry"] = "."; }), "Resource is outside package");
}

TEST_F(PackageTest, ResourcePathResolution) {
    const QString root = builder.write("p.tarnwidget");
    builder.file("p.tarnwidget/css/site.css", "body{}");
    const QString base = QFileInfo(root).canonicalFilePath();
    EXPECT_EQ(resolution("css/site.css", root), base + "/css/site.css");
    EXPECT_EQ(resolution("./css//site.css", root), base + "/css/site.css");
    EXPECT_EQ(resolution("not/there.js", root), base + "/not/there.js"); // need not exist
    EXPECT_EQ(resolution("css/../index.html", root), "Invalid resource path");
    EXPECT_EQ(resolution("/etc/passwd", root), "Invalid resource path");
    EXPECT_EQ(resolution(QString("index.html") + QChar(0) + ".png", root), "Invalid resource path");
    EXPECT_EQ(resolution("./", root), "Resource is outside package");
    ASSERT_TRUE(QFile::link("/etc", root + "/escape"));
    EXPECT_EQ(resolution("escape/passwd", root), "Symbolic links are not allowed");

    // The root itself may be reached through a link; paths are compared after resolving it.
    const QString alias = builder.path("alias");
    ASSERT_TRUE(QFile::link(root, alias));
    EXPECT_EQ(resolution("index.html", alias), base + "/index.html");
}

// After the fixed message, what to fix: the field, the offending value and the rule.
TEST_F(PackageTest, DetailsSayWhatToFix) {
    const auto detail = [&](const std::function<void(QJsonObject&)>& edit) -> std::string {
        QJsonObject manifest = PackageBuilder::validManifest();
        edit(manifest);
        try {
            WidgetPackage::read(builder.write("p.tarnwidget", manifest), false);
            return "ok";
        } catch (const WidgetError& error) {
            return error.explained().toStdString();
        }
    };
    // Identity
    EXPECT_EQ(
            detail([](QJsonObject& m) { m["id"] = "com.Example.Desk"; }),
            "Invalid widget identity: id \"com.Example.Desk\" (a lowercase letter, then lowercase "
            "letters, digits, dots and hyphens, at most 80)");
    EXPECT_EQ(detail([](QJsonObject& m) { m["name"] = QString(81, 'n'); }),
              "Invalid widget identity: name has 81 characters (1 to 80)");
    EXPECT_EQ(detail([](QJsonObject& m) { m["version"] = ""; }),
              "Invalid widget identity: version is empty (any text, such as \"1.0\")");
    // Numbers
    EXPECT_EQ(detail([](QJsonObject& m) { m["apiVersion"] = 2; }),
              "Unsupported widget API 2: apiVersion must be 1");
    EXPECT_EQ(detail([](QJsonObject& m) {
                  m["boardWidths"] = QJsonObject{{"Focus", 1200}};
              }),
              "Widget widths must be between 220 and 1100: boardWidths \"Focus\" is 1,200 "
              "(points, from 220 to 1100)");
    EXPECT_EQ(detail([](QJsonObject& m) { m["preferredWidth"] = 219.5; }),
              "Widget widths must be between 220 and 1100: preferredWidth is 219.5 (points, from "
              "220 to 1100)");
    EXPECT_EQ(detail([](QJsonObject& m) { m["category"] = QString(41, 'c'); }),
              "Category must contain 1–40 characters: category \"" + std::string(41, 'c') +
                      "\" has 41 characters");
    EXPECT_EQ(detail([](QJsonObject& m) { m["permissions"] = QJsonArray{"metric"}; }),
              "Unsupported widget permission: \"metric\" (did you mean \"metrics\"?)");
    // Origins: which rule, for which entry.
    const auto origins = [&](const QJsonArray& list, bool network = true) {
        return detail([&](QJsonObject& m) {
            m["networkOrigins"] = list;
            m["permissions"] = network ? QJsonArray{"network"} : QJsonArray{};
        });
    };
    EXPECT_EQ(origins({"https://a.example.org"}, false),
              "Network origins must be explicit HTTPS origins with the network permission: "
              "networkOrigins entry 1, \"https://a.example.org\": the permissions do not include "
              "\"network\"");
    EXPECT_EQ(origins({"https://a.example.org", "http://b.example.org"}),
              "Network origins must be explicit HTTPS origins with the network permission: "
              "networkOrigins entry 2, \"http://b.example.org\": not an HTTPS address (it must "
              "start with \"https://\", in lowercase, and name a host)");
    const std::string explicitRule =
            "Network origins must be explicit HTTPS origins with the network permission: "
            "networkOrigins entry 1, \"https://a.example.org/\": not an explicit origin (only "
            "https://host or https://host:port, without a path, not even \"/\", a query, a "
            "fragment or a user name); did you mean \"https://a.example.org\"?";
    EXPECT_EQ(origins({"https://a.example.org/"}), explicitRule);
    // Files and limits
    EXPECT_EQ(detail([](QJsonObject& m) { m["entry"] = "main.html"; }),
              "Entry must be an existing HTML file: entry \"main.html\": the package has no such "
              "file");
    EXPECT_EQ(detail([](QJsonObject& m) { m["entry"] = "../index.html"; }).substr(0, 45),
              "Invalid resource path: entry \"../index.html\":");
    const QString root = builder.write("p.tarnwidget");
    builder.file("p.tarnwidget/img/x.png", "x");
    ASSERT_TRUE(QFile::link("/etc/hostname", root + "/img/logo.png"));
    EXPECT_EQ(detail([](QJsonObject&) {}),
              "Symbolic links are not allowed: \"img/logo.png\" is a link; copy the file it points "
              "to into the package");
    QFile::remove(root + "/img/logo.png");
    const QString crowded = builder.write("crowded.tarnwidget");
    for (int i = 0; i < 260; ++i)
        QDir(crowded).mkdir(QString("d%1").arg(i));
    const qint64 bytes = QFileInfo(crowded + "/manifest.json").size() +
                         QFileInfo(crowded + "/index.html").size();
    try {
        WidgetPackage::read(crowded, false);
    } catch (const WidgetError& error) {
        EXPECT_EQ(error.detail().toStdString(),
                  QString("262 files and folders (at most 250), %1 bytes in files (at most "
                          "10,000,000)")
                          .arg(bytes)
                          .toStdString());
        EXPECT_EQ(error.message().toStdString(), "Package exceeds 10 MB or 250 files");
    }
    // JSON: by line and column; a missing key by name.
    builder.file("p.tarnwidget/manifest.json", "{\n  \"apiVersion\": 1,\n  \"id\" \"x\"\n}");
    EXPECT_EQ(outcome(root).toStdString(),
              "manifest.json: invalid JSON at line 3, column 9: missing name separator");
    QJsonObject misspelt = PackageBuilder::validManifest();
    misspelt.remove("permissions");
    misspelt["permisions"] = QJsonArray{};
    EXPECT_EQ(outcome(builder.write("p.tarnwidget", misspelt)).toStdString(),
              "manifest.json: the required key \"permissions\" is missing");
}

TEST_F(PackageTest, ASampleStateIsAJsonObjectOfAtMost256KiBInsideThePackage) {
    const QString root = builder.write("p.tarnwidget");
    const auto sample = [&]() -> QString {
        try {
            const auto state = SampleState::read(root);
            return state ? QString::fromUtf8(QJsonDocument(*state).toJson(QJsonDocument::Compact))
                         : "none";
        } catch (const WidgetError& error) {
            return error.message();
        }
    };
    EXPECT_EQ(sample(), "none");
    builder.file("p.tarnwidget/preview.json", R"({"now": 1})");
    EXPECT_EQ(sample(), R"({"now":1})");
    builder.file("p.tarnwidget/preview.json", "[1]");
    EXPECT_EQ(sample(), "The sample state must be a JSON object");
    for (const QByteArray& broken : {QByteArray("{\"now\": "), QByteArray("\"text\"")}) {
        builder.file("p.tarnwidget/preview.json", broken);
        EXPECT_EQ(sample(), "The sample state is not valid JSON");
    }
    builder.file("p.tarnwidget/preview.json",
                 "{\"a\": \"" + QByteArray(SampleState::maximumBytes, 'x') + "\"}");
    EXPECT_EQ(sample(), "The sample state is too large");
    QFile::remove(root + "/preview.json");
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + "/preview.json").constData(), 0600), 0);
    EXPECT_EQ(sample(), "The sample state cannot be read");
    QFile::remove(root + "/preview.json");
    ASSERT_TRUE(QFile::link(builder.file("secret.json", R"({"note": "private"})"),
                            root + "/preview.json"));
    EXPECT_EQ(sample(), "Symbolic links are not allowed");

    // Over the neutral state, only what the permissions give the widget, and the touch mode.
    const QJsonObject neutral{{"now", 5}, {"note", "neutral"}};
    EXPECT_EQ(SampleState::merged(neutral,
                                  {{"note", "sample"}, {"calendar", 1}, {"touchMode", true}}),
              (QJsonObject{{"now", 5}, {"note", "sample"}, {"touchMode", true}}));
}
