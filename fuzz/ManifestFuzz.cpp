// A package's "manifest.json" as a hostile author could write it, through the whole validation.
// What passes must survive being written and read again, and fence the page as declared.
#include "FuzzSupport.h"
#include "model/WidgetError.h"
#include "packages/RequestPolicy.h"
#include "packages/WidgetPackage.h"
#include "packages/WidgetResources.h"

#include <QDir>
#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString root = [] {
        const QString folder = FuzzSupport::scratch().filePath("p.tarnwidget");
        QDir().mkpath(folder + "/pages");
        FuzzSupport::writeFile(folder + "/index.html", "<p>hi</p>");
        FuzzSupport::writeFile(folder + "/pages/other.HTML", "<p>other</p>");
        return folder;
    }();
    FuzzSupport::writeFile(root + "/manifest.json", FuzzSupport::bytes(data, size));
    WidgetPackage package;
    try {
        package = WidgetPackage::read(root, false);
    } catch (const WidgetError&) {
        return 0;
    }
    const WidgetManifest& manifest = package.manifest;
    FuzzSupport::require(WidgetManifest::fromJson(manifest.toJson()) == manifest);
    FuzzSupport::require(!manifest.networkOrigins || manifest.networkOrigins->isEmpty() ||
                         manifest.declares(QStringLiteral("network")));
    const RequestPolicy policy(manifest);
    for (const QString& origin : manifest.networkOrigins.value_or(QStringList()))
        FuzzSupport::require(
                policy.allows(QUrl(origin + "/x"), RequestPolicy::Destination::resource));
    FuzzSupport::require(!policy.allows(QUrl("https://undeclared.invalid/"),
                                        RequestPolicy::Destination::resource));
    WidgetResources::contentSecurityPolicy(manifest);
    return 0;
}
