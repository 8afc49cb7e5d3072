#include "packages/WidgetResources.h"

#include "support/PackageBuilder.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ResourcesTest : testing::Test {
    QTemporaryDir folder;
    PackageBuilder builder{folder.path()};
    QString sdk = folder.filePath("WidgetSDK");

    WidgetResources resources(QJsonObject manifest = PackageBuilder::validManifest(),
                              WidgetResources::ArtworkSource artwork = {}) {
        builder.file("WidgetSDK/tarn.js", "window.sdk = true;");
        return WidgetResources(WidgetPackage::read(builder.write("p.tarnwidget", manifest), false),
                               sdk, artwork);
    }
};

QUrl widgetUrl(const QString& path) {
    return QUrl("tarn-widget://widget" + path);
}

const QByteArray policyWithoutOrigins =
        "default-src 'none'; script-src tarn-widget:; style-src tarn-widget: 'unsafe-inline'; "
        "img-src tarn-widget: data: ; font-src tarn-widget:; connect-src 'none'; frame-src 'none'; "
        "object-src 'none'; base-uri 'none'; form-action 'none'";

} // namespace

TEST_F(ResourcesTest, HtmlIsServedBehindThePolicy) {
    const WidgetResources handler = resources();
    const auto answer = handler.answer(widgetUrl("/index.html?x=1#top"));
    ASSERT_TRUE(answer.ok) << answer.error.toStdString();
    EXPECT_EQ(answer.mimeType, "text/html");
    EXPECT_EQ(answer.body,
              "<!doctype html><meta http-equiv=\"Content-Security-Policy\" content=\"" +
                      policyWithoutOrigins + "\"><p>hello</p>");

    builder.file("p.tarnwidget/OTHER.HTML", "<b>");
    EXPECT_TRUE(handler.answer(widgetUrl("/OTHER.HTML")).body.startsWith("<!doctype html><meta"));
    builder.file("p.tarnwidget/style.css", "body{}");
    const auto css = handler.answer(widgetUrl("/style.css"));
    EXPECT_EQ(css.mimeType, "text/css");
    EXPECT_EQ(css.body, "body{}");
    builder.file("p.tarnwidget/data.xyz", "?");
    EXPECT_EQ(handler.answer(widgetUrl("/data.xyz")).mimeType, "application/octet-stream");
    builder.file("p.tarnwidget/my file.js", "1");
    EXPECT_EQ(handler.answer(widgetUrl("/my%20file.js")).body, "1");
}

TEST_F(ResourcesTest, DeclaredOriginsOpenImagesAndConnections) {
    QJsonObject manifest = PackageBuilder::validManifest();
    manifest["permissions"] = QJsonArray{"network"};
    manifest["networkOrigins"] = QJsonArray{"https://a.example", "https://b.example:8443"};
    const QString policy = WidgetResources::contentSecurityPolicy(
            WidgetPackage::read(builder.write("n.tarnwidget", manifest), false).manifest);
    EXPECT_TRUE(policy.contains(
            "img-src tarn-widget: data: https://a.example https://b.example:8443; "));
    EXPECT_TRUE(policy.contains("connect-src https://a.example https://b.example:8443; frame-src"));
}

TEST_F(ResourcesTest, TheSdkPrefixServesTheSdkFolder) {
    const WidgetResources handler = resources();
    builder.file("p.tarnwidget/_tarn/tarn.js", "window.fake = true;");
    EXPECT_EQ(handler.answer(widgetUrl("/_tarn/tarn.js")).body, "window.sdk = true;");
    EXPECT_EQ(handler.answer(widgetUrl("/_tarn/tarn.js")).mimeType, "text/javascript");
    EXPECT_EQ(handler.answer(widgetUrl("/_tarn/../p.tarnwidget/index.html")).error,
              "Invalid resource path");
}

TEST_F(ResourcesTest, RequestsThatFail) {
    const WidgetResources handler = resources();
    EXPECT_EQ(handler.answer(QUrl("tarn-widget://widgets/index.html")).error,
              "Invalid resource origin");
    EXPECT_EQ(handler.answer(QUrl("tarn-widget:///index.html")).error, "Invalid resource origin");
    EXPECT_EQ(handler.answer(QUrl()).error, "Invalid resource origin");
    EXPECT_EQ(handler.answer(widgetUrl("/")).error, "Invalid resource path");
    EXPECT_EQ(handler.answer(widgetUrl("/a%2F..%2F..%2Fsecret")).error, "Invalid resource path");
    EXPECT_EQ(handler.answer(widgetUrl("/a%5Cb")).error, "Invalid resource path");
    EXPECT_EQ(handler.answer(widgetUrl("/index.html%00.png")).error, "Invalid resource path");
    EXPECT_FALSE(handler.answer(widgetUrl("/missing.js")).ok);

    ASSERT_TRUE(QFile::link("/etc/hostname", folder.filePath("p.tarnwidget/host.txt")));
    EXPECT_EQ(handler.answer(widgetUrl("/host.txt")).error, "Symbolic links are not allowed");

    builder.file("p.tarnwidget/huge.bin", QByteArray(WidgetResources::maximumBytes + 1, 0));
    EXPECT_EQ(handler.answer(widgetUrl("/huge.bin")).error, "Resource is too large");
    QDir().mkpath(folder.filePath("p.tarnwidget/folder"));
    EXPECT_FALSE(handler.answer(widgetUrl("/folder")).ok);
}

TEST_F(ResourcesTest, TheMusicPlayersCoverIsForPagesWithTheSpotifyPermissionOnly) {
    const WidgetResources::ArtworkSource cover = [](const QString& name) {
        return name == "7" ? std::optional(Artwork{"\x89PNG", "image/png"}) : std::nullopt;
    };
    builder.file("p.tarnwidget/_tarn/artwork/7", "the package's own");
    QJsonObject manifest = PackageBuilder::validManifest();
    manifest["permissions"] = QJsonArray{"spotify"};
    const WidgetResources music = resources(manifest, cover);
    const auto answer = music.answer(widgetUrl("/_tarn/artwork/7"));
    ASSERT_TRUE(answer.ok) << answer.error.toStdString();
    EXPECT_EQ(answer.body, "\x89PNG");
    EXPECT_EQ(answer.mimeType, "image/png");
    EXPECT_EQ(music.answer(widgetUrl("/_tarn/artwork/6")).error, "Artwork is no longer available");

    const WidgetResources other = resources(PackageBuilder::validManifest(), cover);
    EXPECT_EQ(other.answer(widgetUrl("/_tarn/artwork/7")).error,
              "Artwork needs the \"spotify\" permission");
}
