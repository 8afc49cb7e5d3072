// Paths a page could ask its scheme for, raw, percent-encoded and double-encoded, against a
// package with a link out of it and a secret beside it. Nothing outside the package or the SDK
// folder may ever be served.
#include "FuzzSupport.h"
#include "model/WidgetError.h"
#include "packages/WidgetPackage.h"
#include "packages/WidgetResources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

struct Fixture {
    QString root;
    QString canonicalRoot;
    WidgetResources resources;
};

void writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
}

const Fixture& fixture() {
    static const Fixture made = [] {
        const QString base = FuzzSupport::scratch().path();
        const QString root = base + "/p.tarnwidget";
        writeFile(base + "/secret.txt", "SECRET");
        writeFile(base + "/sdk/tarn.js", "sdk script");
        writeFile(root + "/index.html", "<p>package</p>");
        writeFile(root + "/data.js", "package data");
        writeFile(root + "/sub/style.css", "p {}");
        writeFile(root + "/_tarn/tarn.js", "not the sdk");
        QFile::link(base + "/secret.txt", root + "/link.js");
        QFile::link(base, root + "/sub/up");
        // Built by hand: validation would refuse the links that this fixture is about.
        WidgetManifest manifest;
        manifest.id = "p";
        manifest.entry = "index.html";
        const WidgetPackage package{manifest, root, false};
        return Fixture{root, QFileInfo(root).canonicalFilePath(),
                       WidgetResources(package, base + "/sdk")};
    }();
    return made;
}

void check(const QUrl& url) {
    const WidgetResources::Answer answer = fixture().resources.answer(url);
    if (answer.ok)
        FuzzSupport::require(!answer.body.contains("SECRET"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSupport::application();
    const QByteArray input = FuzzSupport::bytes(data, size);
    const QString path = QString::fromUtf8(input);
    try {
        const QString resolved = WidgetPackage::resource(path, fixture().root);
        FuzzSupport::require(resolved.startsWith(fixture().canonicalRoot + QLatin1Char('/')));
    } catch (const WidgetError&) {
    }
    check(QUrl(QStringLiteral("tarn-widget://widget/") + path));
    const QByteArray encoded = input.toPercentEncoding("/");
    check(QUrl(QStringLiteral("tarn-widget://widget/") + QString::fromLatin1(encoded)));
    check(QUrl(QStringLiteral("tarn-widget://widget/") +
               QString::fromLatin1(encoded.toPercentEncoding("/"))));
    return 0;
}
