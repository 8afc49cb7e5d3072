// "tablora-widget dev" with a real page: a real file change shows in the page, a broken package
// keeps the last good page, and the user's own data folder is never written.
#include "tools/DevSession.h"

#include "support/EventLoop.h"
#include "support/PackageBuilder.h"
#include "widgets/web/WidgetPage.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct DevSessionTest : testing::Test {
    QTemporaryDir folder;
    PackageBuilder builder{folder.path()};
    QString userData = folder.filePath("user-data");
    QString out;
    QString err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};

    TarnStore::Environment environment() const {
        TarnStore::Environment environment;
        environment.resources = TABLORA_RESOURCES_DIRECTORY;
        environment.integrations.settings =
                std::make_shared<QSettings>(folder.filePath("settings.ini"), QSettings::IniFormat);
        environment.integrations.homeFolder = folder.filePath("home");
        return environment;
    }

    // The page's text once it has one.
    static QString pageText(WebWidget* widget) {
        if (!widget || !widget->isReady())
            return {};
        auto result = std::make_shared<QString>();
        auto done = std::make_shared<bool>(false);
        widget->page()->runJavaScript("document.body ? document.body.innerText : ''",
                                      [result, done](const QVariant& value) {
                                          *result = value.toString();
                                          *done = true;
                                      });
        waitUntil([&] { return *done; }, 5000);
        return *result;
    }

    static QStringList listing(const QString& root) {
        QStringList entries;
        QDirIterator walk(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                          QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QString path = walk.next();
            QFile file(path);
            entries.append(path + "=" + (file.open(QIODevice::ReadOnly) ? file.readAll() : ""));
        }
        entries.sort();
        return entries;
    }
};

} // namespace

TEST_F(DevSessionTest, AFileChangeShowsInThePageAndNothingOfTheUserIsWritten) {
    builder.file("user-data/preferences.json", "{\"showSeconds\": true}");
    const QStringList userBefore = listing(userData);
    const QString root =
            builder.write("hello.tarnwidget", PackageBuilder::validManifest("com.example.hello"));
    builder.file("hello.tarnwidget/index.html",
                 "<!doctype html><p id=\"text\">first</p><script src=\"page.js\"></script>");
    builder.file("hello.tarnwidget/page.js", "console.log('page one');\n");

    DevSession session(root, QSize(400, 300), environment(), userData, outStream, errStream);
    session.window().show();
    // The user's settings are the page's, in a copy.
    EXPECT_TRUE(session.store().preferences().showSeconds);
    EXPECT_NE(session.store().directory(), userData);
    ASSERT_TRUE(waitUntil([&] { return pageText(session.widget()) == "first"; }, 30000))
            << err.toStdString();
    EXPECT_TRUE(waitUntil([&] { return out.contains("page.js:1: info: page one"); }, 5000))
            << out.toStdString();

    // A real change on disk, the way an editor saves: a new file renamed over the old one.
    builder.file("hello.tarnwidget/index.new",
                 "<!doctype html><p id=\"text\">second</p><script src=\"page.js\"></script>");
    QElapsedTimer sinceChange;
    sinceChange.start();
    ASSERT_EQ(::rename(QFile::encodeName(root + "/index.new").constData(),
                       QFile::encodeName(root + "/index.html").constData()),
              0);
    ASSERT_TRUE(waitUntil([&] { return pageText(session.widget()) == "second"; }, 10000))
            << out.toStdString();
    // Within a second on a quiet machine; the bound leaves room for a loaded one.
    EXPECT_LT(sinceChange.elapsed(), 5000);
    EXPECT_TRUE(out.contains("Reloaded after a change to index.html")) << out.toStdString();

    // A script change is seen too (the folder is watched again after each load).
    builder.file("hello.tarnwidget/page.js",
                 "document.getElementById('text').textContent = 'third';\n");
    EXPECT_TRUE(waitUntil([&] { return pageText(session.widget()) == "third"; }, 10000))
            << out.toStdString();

    // A broken package says why and keeps the last good page until it is fixed.
    WebWidget* shown = session.widget();
    builder.file("hello.tarnwidget/manifest.json", "{\"apiVersion\": 1,");
    EXPECT_TRUE(waitUntil([&] { return err.contains("(waiting for the next change)"); }, 10000));
    EXPECT_TRUE(err.contains("manifest.json: invalid JSON at line 1")) << err.toStdString();
    EXPECT_EQ(session.widget(), shown);
    builder.write("hello.tarnwidget", PackageBuilder::validManifest("com.example.hello"));
    builder.file("hello.tarnwidget/index.html", "<!doctype html><p>fixed</p>");
    EXPECT_TRUE(waitUntil([&] { return pageText(session.widget()) == "fixed"; }, 10000))
            << out.toStdString();

    // Commands act on the copy only.
    session.store().toggleFocus();
    session.store().save();
    EXPECT_EQ(listing(userData), userBefore);
    EXPECT_FALSE(QFileInfo::exists(userData + "/tablora.lock"));
}
