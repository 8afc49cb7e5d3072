#pragma once

#include "packages/RequestPolicy.h"
#include "widgets/web/PageBudget.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QSet>
#include <QWebEngineUrlRequestInterceptor>

// The request-level fence of one widget profile: every request the page, its frames or its
// workers make passes here, and whatever RequestPolicy does not allow is blocked. The content
// policy in the page is a second fence, not the only one. Requests beyond the page's budget are
// blocked here too: a request blocked here costs nothing, while every one that goes on to the
// package's scheme handler costs the dashboard's process, and a page asking for thousands a second
// would pile them up faster than they are answered.
class WidgetRequestFence : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT

public:
    explicit WidgetRequestFence(const WidgetManifest& manifest, QObject* parent = nullptr);

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    // Counting starts afresh (the page was loaded again).
    void resetBudget();

signals:
    // Once per origin.
    void blocked(const QString& origin);
    // The page asked for many times its budget of requests in one second; once until reset.
    void exceeded();

private:
    bool withinBudget();

    RequestPolicy m_policy;
    QMutex m_lock; // the engine may ask from its own thread
    QSet<QString> m_reported;
    RateBudget m_budget{PageBudget::requestsPerSecond};
    QElapsedTimer m_clock;
    bool m_exceeded = false;
};
