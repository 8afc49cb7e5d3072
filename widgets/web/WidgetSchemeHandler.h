#pragma once

#include "packages/WidgetResources.h"

#include <QWebEngineUrlSchemeHandler>

// Serves one widget page's "tarn-widget" requests through WidgetResources. The engine reports a
// failed request only as a network error code, so the handler keeps the last message for the
// page's failure panel.
class WidgetSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT

public:
    static constexpr const char* scheme = "tarn-widget";
    // Set by the request fence on the script that starts a worker.
    static constexpr const char* workerHeader = "X-Tarn-Worker";

    WidgetSchemeHandler(WidgetResources resources, QObject* parent = nullptr);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

    const QString& lastError() const { return m_lastError; }

    // Declares the scheme to the engine; must run before the application object exists.
    static void registerScheme();

signals:
    void requestFailed(const QUrl& url, const QString& message);

private:
    WidgetResources m_resources;
    QString m_lastError;
};
