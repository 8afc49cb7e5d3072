#pragma once

#include "widgets/WidgetPackage.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

// Answers the "tarn-widget" requests of one widget page: files of its package, or of the widget
// SDK folder under the "_tarn/" prefix, each HTML document preceded by the content security
// policy that keeps the page inside its package and its declared origins.
class WidgetResources {
public:
    static constexpr qint64 maximumBytes = 10000000;
    static constexpr const char* host = "widget";
    static constexpr const char* sdkPrefix = "_tarn/";

    struct Answer {
        bool ok = false;
        QString mimeType;
        QByteArray body;
        QString error; // when !ok
    };

    // A worker's script starts with lines that take away what no request check sees (web
    // sockets, WebTransport, peer connections) and further workers, whose scripts would not get
    // these lines.
    enum class Use { asRequested, workerScript };

    WidgetResources(WidgetPackage package, QString sdkDirectory);

    Answer answer(const QUrl& url, Use use = Use::asRequested) const;
    static QByteArray workerPrologue();

    const WidgetPackage& package() const { return m_package; }

    static QString contentSecurityPolicy(const WidgetManifest& manifest);
    // The media type of a file name's extension; "application/octet-stream" when unknown.
    static QString mimeType(const QString& fileName);

private:
    WidgetPackage m_package;
    QString m_sdkDirectory;
};
