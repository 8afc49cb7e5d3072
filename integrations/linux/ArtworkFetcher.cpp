#include "ArtworkFetcher.h"

#include "integrations/Background.h"
#include "model/RegularFile.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace {

bool isWeb(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// A file on this computer: another host's name in a file address is refused.
bool isLocal(const QUrl& url) {
    return url.isLocalFile() &&
           (url.host().isEmpty() ||
            url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0);
}

std::optional<QByteArray> readFile(const QString& path) {
    const RegularFile file =
            RegularFile::read(path, ArtworkReader::maximumBytes, RegularFile::Links::refuse);
    return file.status == RegularFile::Status::read ? std::optional(file.contents) : std::nullopt;
}

// Stops a download as soon as its headers say it is no picture, or too big for one.
void refuseNonImages(QNetworkReply* reply) {
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if ((!type.isEmpty() && !type.startsWith(QLatin1String("image/"), Qt::CaseInsensitive)) ||
        length > ArtworkReader::maximumBytes)
        reply->abort();
}

} // namespace

ArtworkFetcher::ArtworkFetcher(int timeLimitMs, QObject* parent)
    : QObject(parent), m_timeLimit(timeLimitMs) {}

void ArtworkFetcher::read(const QUrl& url, QObject* receiver, Completion done) {
    if (isLocal(url)) {
        const QString path = url.toLocalFile();
        runInBackground(
                receiver, [path] { return readFile(path); }, done);
    } else if (isWeb(url)) {
        download(url, receiver, done);
    } else {
        QTimer::singleShot(0, receiver, [done] { done(std::nullopt); });
    }
}

void ArtworkFetcher::download(const QUrl& url, QObject* receiver, Completion done) {
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(3);
    request.setRawHeader("Accept", "image/*");
    QNetworkReply* reply = m_network->get(request);
    // The whole download, not only each pause in it, has its time limit.
    QTimer::singleShot(m_timeLimit, reply, &QNetworkReply::abort);
    connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& to) {
        // Onwards to the web only, and never from an encrypted address to a plain one.
        const bool downgrade = reply->url().scheme() == QLatin1String("https") &&
                               to.scheme() != QLatin1String("https");
        if (isWeb(to) && !downgrade)
            emit reply->redirectAllowed();
        else
            reply->abort();
    });
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply] { refuseNonImages(reply); });
    auto body = std::make_shared<QByteArray>();
    const auto take = [reply, body] {
        body->append(reply->read(ArtworkReader::maximumBytes + 1 - body->size()));
        if (body->size() > ArtworkReader::maximumBytes)
            reply->abort();
    };
    connect(reply, &QNetworkReply::readyRead, reply, take);
    QPointer<QObject> guard(receiver);
    connect(reply, &QNetworkReply::finished, this, [reply, body, guard, done, take] {
        reply->deleteLater();
        if (reply->error() == QNetworkReply::NoError)
            take();
        if (!guard)
            return;
        const bool whole = reply->error() == QNetworkReply::NoError && body->size() <= maximumBytes;
        done(whole ? std::optional(*body) : std::nullopt);
    });
}
