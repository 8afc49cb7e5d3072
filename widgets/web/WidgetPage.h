#pragma once

#include <QUrl>
#include <QWebEnginePage>

// The page of one widget: it never leaves its package, never opens windows and is granted no
// browser feature (camera, location, notifications, full screen).
class WidgetPage : public QWebEnginePage {
    Q_OBJECT

public:
    explicit WidgetPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    // Only the main frame may navigate, only inside the package, and only to an HTML file: the
    // policy that fences the page comes with HTML documents alone.
    static bool allowsNavigation(const QUrl& url, bool isMainFrame);

signals:
    void navigationRefused(const QUrl& url);
    // A new document is on its way, before any of its scripts run. Unlike loadStarted, which the
    // engine may deliver after the new document's first console messages.
    void documentRequested(const QUrl& url);
    // An uncaught error or console.error of the page, for its author's tools.
    void scriptError(const QString& message, int line, const QString& source);
    // Every console message of the page, errors included.
    void consoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                        const QString& source);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    // A page's console is its author's business, not the dashboard's log.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;
};
