#include "WidgetRequestFence.h"

#include "widgets/web/WidgetSchemeHandler.h"

#include <QMutexLocker>

namespace {

RequestPolicy::Destination destinationOf(QWebEngineUrlRequestInfo::ResourceType type) {
    switch (type) {
    case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeSubFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeObject:
    case QWebEngineUrlRequestInfo::ResourceTypeNavigationPreloadMainFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeNavigationPreloadSubFrame:
        return RequestPolicy::Destination::document;
    case QWebEngineUrlRequestInfo::ResourceTypeWorker:
    case QWebEngineUrlRequestInfo::ResourceTypeSharedWorker:
    case QWebEngineUrlRequestInfo::ResourceTypeServiceWorker:
        return RequestPolicy::Destination::worker;
    default:
        return RequestPolicy::Destination::resource;
    }
}

} // namespace

WidgetRequestFence::WidgetRequestFence(const WidgetManifest& manifest, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), m_policy(manifest) {
    m_clock.start();
}

bool WidgetRequestFence::withinBudget() {
    const QMutexLocker lock(&m_lock);
    switch (m_budget.spend(1, m_clock.elapsed())) {
    case RateBudget::Verdict::within:
        return true;
    case RateBudget::Verdict::over:
        return false;
    case RateBudget::Verdict::runaway:
        break;
    }
    if (!m_exceeded) {
        m_exceeded = true;
        emit exceeded();
    }
    return false;
}

void WidgetRequestFence::resetBudget() {
    const QMutexLocker lock(&m_lock);
    m_budget.reset();
    m_exceeded = false;
}

void WidgetRequestFence::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (!withinBudget()) {
        info.block(true);
        return;
    }
    const QUrl url = info.requestUrl();
    const RequestPolicy::Destination destination = destinationOf(info.resourceType());
    if (m_policy.allows(url, destination)) {
        if (destination == RequestPolicy::Destination::worker)
            info.setHttpHeader(WidgetSchemeHandler::workerHeader, "1");
        return;
    }
    info.block(true);
    const QString origin = RequestPolicy::origin(url);
    {
        const QMutexLocker lock(&m_lock);
        if (m_reported.contains(origin))
            return;
        m_reported.insert(origin);
    }
    emit blocked(origin);
}
