#pragma once

#include "packages/WidgetManifest.h"

#include <QSet>
#include <QString>
#include <QUrl>

// Which requests a widget page may make, whatever its content policy says: its own package and
// the SDK (both under "tarn-widget://widget"), data and blob URLs (they leave nothing on the
// network) and, for a widget with the network permission, exactly its declared HTTPS origins.
// Only HTML files open as documents: other package files cannot be made to run as the page. A
// worker's script comes from the package alone, so the worker gets the package's prologue.
class RequestPolicy {
public:
    enum class Destination { document, worker, resource };

    explicit RequestPolicy(const WidgetManifest& manifest);

    bool allows(const QUrl& url, Destination destination) const;

    // "scheme://host:port" of a URL, the form blocked requests are reported under.
    static QString origin(const QUrl& url);
    static bool isDocumentPath(const QString& path);

private:
    QSet<QString> m_origins;
};
