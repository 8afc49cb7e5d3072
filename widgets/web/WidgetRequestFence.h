#pragma once

#include "widgets/RequestPolicy.h"

#include <QMutex>
#include <QSet>
#include <QWebEngineUrlRequestInterceptor>

// The request-level fence of one widget profile: every request the page, its frames or its
// workers make passes here, and whatever RequestPolicy does not allow is blocked. The content
// policy in the page is a second fence, not the only one.
class WidgetRequestFence : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT

public:
    explicit WidgetRequestFence(const WidgetManifest& manifest, QObject* parent = nullptr);

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

signals:
    // Once per origin.
    void blocked(const QString& origin);

private:
    RequestPolicy m_policy;
    QMutex m_reportedLock; // the engine may ask from its own thread
    QSet<QString> m_reported;
};
