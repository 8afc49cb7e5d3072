#include "WidgetPage.h"

#include "model/LogText.h"
#include "packages/RequestPolicy.h"
#include "packages/WidgetResources.h"
#include "widgets/web/WidgetSchemeHandler.h"

#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>

WidgetPage::WidgetPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
}

bool WidgetPage::allowsNavigation(const QUrl& url, bool isMainFrame) {
    return isMainFrame && url.scheme() == QLatin1String(WidgetSchemeHandler::scheme) &&
           url.host() == QLatin1String(WidgetResources::host) &&
           RequestPolicy::isDocumentPath(url.path());
}

bool WidgetPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    if (allowsNavigation(url, isMainFrame)) {
        emit documentRequested(url);
        return true;
    }
    emit navigationRefused(url);
    return false;
}

QWebEnginePage* WidgetPage::createWindow(WebWindowType) {
    return nullptr;
}

void WidgetPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                          const QString& message, int line, const QString& source) {
    // Cut before any copy is made: a page may log hundreds of megabytes in one line.
    const QString kept = LogText::cut(message);
    emit consoleMessage(level, kept, line, source);
    if (level == ErrorMessageLevel)
        emit scriptError(kept, line, source);
}
