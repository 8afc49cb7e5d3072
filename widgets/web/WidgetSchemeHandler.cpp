#include "WidgetSchemeHandler.h"

#include <QBuffer>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

WidgetSchemeHandler::WidgetSchemeHandler(WidgetResources resources, QObject* parent)
    : QWebEngineUrlSchemeHandler(parent), m_resources(std::move(resources)) {}

void WidgetSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const bool worker = job->requestHeaders().contains(workerHeader);
    const WidgetResources::Answer answer =
            m_resources.answer(job->requestUrl(), worker ? WidgetResources::Use::workerScript
                                                         : WidgetResources::Use::asRequested);
    if (!answer.ok) {
        m_lastError = answer.error;
        emit requestFailed(job->requestUrl(), answer.error);
        job->fail(QWebEngineUrlRequestJob::RequestFailed);
        return;
    }
    auto* body = new QBuffer(job);
    body->setData(answer.body);
    // Every resource is declared as UTF-8, so pages without a charset read right.
    job->reply(answer.mimeType.toUtf8() + "; charset=utf-8", body);
}

void WidgetSchemeHandler::registerScheme() {
    QWebEngineUrlScheme widgetScheme(scheme);
    widgetScheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    widgetScheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled |
                          QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(widgetScheme);
}
