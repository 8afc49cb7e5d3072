#include "RequestPolicy.h"

#include "packages/WidgetResources.h"

namespace {

constexpr int httpsPort = 443;

} // namespace

RequestPolicy::RequestPolicy(const WidgetManifest& manifest) {
    if (!manifest.declares(QStringLiteral("network")))
        return;
    for (const QString& declared : manifest.networkOrigins.value_or(QStringList())) {
        const QUrl url(declared);
        if (url.scheme() == QLatin1String("https") && !url.host().isEmpty())
            m_origins.insert(origin(url));
    }
}

bool RequestPolicy::allows(const QUrl& url, Destination destination) const {
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("tarn-widget")) {
        if (url.host() != QLatin1String(WidgetResources::host))
            return false;
        return destination != Destination::document || isDocumentPath(url.path());
    }
    // The package's documents and scripts are the only documents and workers.
    if (destination != Destination::resource)
        return false;
    if (scheme == QLatin1String("data") || scheme == QLatin1String("blob"))
        return true;
    return scheme == QLatin1String("https") && m_origins.contains(origin(url));
}

QString RequestPolicy::origin(const QUrl& url) {
    const int port = url.port(url.scheme() == QLatin1String("https") ? httpsPort : -1);
    QString text = url.scheme() + QStringLiteral("://") + url.host().toLower();
    if (port >= 0)
        text += QLatin1Char(':') + QString::number(port);
    return text;
}

bool RequestPolicy::isDocumentPath(const QString& path) {
    return path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
}
