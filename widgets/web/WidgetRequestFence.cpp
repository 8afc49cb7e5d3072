#include "WidgetRequestFence.h"

#include <QMutexLocker>

namespace {

bool opensAsDocument(QWebEngineUrlRequestInfo::ResourceType type) {
    switch (type) {
    case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeSubFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeObject:
    case QWebEngineUrlRequestInfo::ResourceTypeNavigationPreloadMainFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeNavigationPreloadSubFrame:
        return true;
    default:
        return false;
    }
}

} // namespace

WidgetRequestFence::WidgetRequestFence(const WidgetManifest& manifest, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), m_policy(manifest) {}

void WidgetRequestFence::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QUrl url = info.requestUrl();
    const auto destination = opensAsDocument(info.resourceType())
                                     ? RequestPolicy::Destination::document
                                     : RequestPolicy::Destination::resource;
    if (m_policy.allows(url, destination))
        return;
    info.block(true);
    const QString origin = RequestPolicy::origin(url);
    {
        const QMutexLocker lock(&m_reportedLock);
        if (m_reported.contains(origin))
            return;
        m_reported.insert(origin);
    }
    emit blocked(origin);
}
