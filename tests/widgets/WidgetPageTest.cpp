// Loads a real widget page through the widget scheme and checks what the content policy allows.
#include "support/EventLoop.h"
#include "support/PackageBuilder.h"
#include "widgets/web/WidgetSchemeHandler.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <gtest/gtest.h>

namespace {

struct WidgetPageTest : testing::Test {
    QTemporaryDir folder;
    PackageBuilder builder{folder.path()};
    std::unique_ptr<QWebEngineProfile> profile = std::make_unique<QWebEngineProfile>();
    std::unique_ptr<QWebEnginePage> page;
    WidgetSchemeHandler* handler = nullptr;

    void TearDown() override {
        page.reset(); // pages go before their profile
        profile.reset();
    }

    bool load(const QJsonObject& manifest) {
        builder.file("p.tarnwidget/index.html",
                     "<html><head><script src=\"app.js\"></script>"
                     "<script src=\"/_tarn/tarn.js\"></script></head><body>"
                     "<script>window.inlineRan = true;</script><p>Grüße</p></body></html>");
        builder.file("p.tarnwidget/app.js", "window.externalRan = true; window.violations = [];"
                                            "document.addEventListener('securitypolicyviolation',"
                                            "  e => window.violations.push(e.violatedDirective));");
        builder.file("p.tarnwidget/data.js", "window.loadedData = 'package data';");
        builder.file("p.tarnwidget/manifest.json", QJsonDocument(manifest).toJson());
        const WidgetPackage package = WidgetPackage::read(builder.path("p.tarnwidget"), false);
        handler = new WidgetSchemeHandler(WidgetResources(package, TABLORA_SDK_DIRECTORY),
                                          profile.get());
        profile->installUrlSchemeHandler(WidgetSchemeHandler::scheme, handler);
        page = std::make_unique<QWebEnginePage>(profile.get());
        std::optional<bool> finished;
        QObject::connect(page.get(), &QWebEnginePage::loadFinished,
                         [&](bool ok) { finished = ok; });
        page->load(QUrl("tarn-widget://widget/" + package.manifest.entry));
        return waitUntil([&] { return finished.has_value(); }, 30000) && *finished;
    }

    QVariant evaluate(const QString& script) {
        std::optional<QVariant> result;
        page->runJavaScript(script, [&](const QVariant& value) { result = value; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }, 10000)) << script.toStdString();
        return result.value_or(QVariant());
    }

    // Starts asynchronous work that stores its outcome in window.outcome, then waits for it.
    QString outcomeOf(const QString& script) {
        evaluate("window.outcome = undefined; " + script);
        QString value;
        waitUntil(
                [&] {
                    const QVariant outcome = evaluate(
                            "window.outcome === undefined ? null : String(window.outcome)");
                    value = outcome.toString();
                    return !outcome.isNull();
                },
                15000);
        return value;
    }

    // Loads a script of the package the way the policy allows: by a script element.
    static QString request(const QString& path) {
        return "{ const script = document.createElement('script'); script.src = '" + path +
               "';"
               "script.onload = () => window.outcome = 'loaded:' + window.loadedData;"
               "script.onerror = () => window.outcome = 'error';"
               "document.head.appendChild(script); }";
    }
};

} // namespace

TEST_F(WidgetPageTest, ThePolicyAllowsThePackageAndNothingElse) {
    ASSERT_TRUE(load(PackageBuilder::validManifest()));
    EXPECT_EQ(evaluate("document.querySelector('meta[http-equiv=\"Content-Security-Policy\"]')."
                       "content")
                      .toString(),
              WidgetResources::contentSecurityPolicy(
                      WidgetPackage::read(builder.path("p.tarnwidget"), false).manifest));
    EXPECT_EQ(evaluate("document.querySelector('p').textContent").toString(),
              QString::fromUtf8("Grüße"));
    EXPECT_TRUE(evaluate("window.externalRan === true").toBool());
    EXPECT_TRUE(evaluate("window.inlineRan === undefined").toBool());
    EXPECT_TRUE(evaluate("window.violations.some(d => d.startsWith('script-src'))").toBool());
    // The SDK script comes from the SDK folder.
    EXPECT_TRUE(evaluate("typeof Tarn === 'object' && Tarn.sdkVersion === 2").toBool());

    EXPECT_EQ(outcomeOf(request("data.js")), "loaded:package data");
    EXPECT_EQ(outcomeOf(request("a%2F..%2F..%2Fsecret")), "error");
    EXPECT_EQ(handler->lastError(), "Invalid resource path");
    ASSERT_TRUE(QFile::link(builder.path("p.tarnwidget/data.js"),
                            builder.path("p.tarnwidget/link.js")));
    EXPECT_EQ(outcomeOf(request("link.js")), "error");
    EXPECT_EQ(handler->lastError(), "Symbolic links are not allowed");

    // Script requests reach nothing without a declared origin, the package's own files included.
    EXPECT_EQ(outcomeOf("{ const xhr = new XMLHttpRequest(); xhr.open('GET', 'data.js');"
                        "xhr.onload = () => window.outcome = 'loaded'; xhr.onerror = () =>"
                        "window.outcome = 'refused'; xhr.send(); }"),
              "refused");
    // No origin was declared, so the network is closed to the page.
    EXPECT_EQ(outcomeOf("fetch('https://example.com/').then(() => window.outcome = 'fetched',"
                        "  () => window.outcome = 'refused');"),
              "refused");
    EXPECT_TRUE(evaluate("window.violations.includes('connect-src')").toBool());
}

TEST_F(WidgetPageTest, ADeclaredOriginIsNotBlockedByThePolicy) {
    QJsonObject manifest = PackageBuilder::validManifest();
    manifest["permissions"] = QJsonArray{"network"};
    manifest["networkOrigins"] = QJsonArray{"https://example.com"};
    ASSERT_TRUE(load(manifest));
    // The machine may have no network; only the policy's verdict matters here.
    outcomeOf("fetch('https://example.com/').then(() => window.outcome = 'fetched',"
              "  () => window.outcome = 'failed');");
    EXPECT_FALSE(evaluate("window.violations.includes('connect-src')").toBool());
    EXPECT_EQ(outcomeOf("fetch('https://other.example/').then(() => window.outcome = 'fetched',"
                        "  () => window.outcome = 'refused');"),
              "refused");
    EXPECT_TRUE(evaluate("window.violations.includes('connect-src')").toBool());
}
