#include "WidgetResources.h"

#include "model/RegularFile.h"
#include "model/WidgetError.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

WidgetResources::Answer failure(const QString& message) {
    return {false, {}, {}, message};
}

} // namespace

WidgetResources::WidgetResources(WidgetPackage package, QString sdkDirectory, ArtworkSource artwork)
    : m_package(std::move(package)), m_sdkDirectory(std::move(sdkDirectory)),
      m_artwork(std::move(artwork)) {}

WidgetResources::Answer WidgetResources::answer(const QUrl& url, Use use) const {
    if (!url.isValid() || url.host() != QLatin1String(host))
        return failure(QStringLiteral("Invalid resource origin"));
    QString path = url.path(QUrl::FullyDecoded).mid(1);
    if (path.startsWith(QLatin1String(Artwork::folder)))
        return artwork(path.mid(int(std::strlen(Artwork::folder))));
    QString root = m_package.root;
    if (path.startsWith(QLatin1String(sdkPrefix))) {
        path = path.mid(int(std::strlen(sdkPrefix)));
        root = m_sdkDirectory;
    }
    QString file;
    try {
        file = WidgetPackage::resource(path, root);
    } catch (const WidgetError& error) {
        return failure(error.message());
    }
    const RegularFile resource = RegularFile::read(file, maximumBytes);
    if (resource.status == RegularFile::Status::tooLarge)
        return failure(QStringLiteral("Resource is too large"));
    if (resource.status == RegularFile::Status::failed)
        return failure(resource.error);
    Answer answer{true, mimeType(file), resource.contents, {}};
    if (use == Use::workerScript) {
        answer.body.prepend(workerPrologue());
        return answer;
    }
    if (QFileInfo(file).suffix().compare(QStringLiteral("html"), Qt::CaseInsensitive) == 0) {
        const QByteArray prefix = "<!doctype html><meta http-equiv=\"Content-Security-Policy\" "
                                  "content=\"" +
                                  contentSecurityPolicy(m_package.manifest).toUtf8() + "\">";
        answer.body.prepend(prefix);
    }
    return answer;
}

WidgetResources::Answer WidgetResources::artwork(const QString& name) const {
    if (!m_package.manifest.declares(QStringLiteral("spotify")))
        return failure(QStringLiteral("Artwork needs the \"spotify\" permission"));
    const std::optional<Artwork> picture = m_artwork ? m_artwork(name) : std::nullopt;
    if (!picture)
        return failure(QStringLiteral("Artwork is no longer available"));
    return {true, picture->mimeType, picture->bytes, {}};
}

QByteArray WidgetResources::workerPrologue() {
    // One line, so the script's own line numbers are off by one only. A worker has no web storage
    // and makes no blobs either: off the record they would live in the dashboard's own memory.
    return "for (const name of ['WebSocket', 'WebTransport', 'Worker', 'SharedWorker', "
           "'RTCPeerConnection', 'indexedDB', 'caches', 'webkitRequestFileSystem', 'Blob', 'File', "
           "'OffscreenCanvas', 'MediaRecorder']) { for (let o = self; o; o = "
           "Object.getPrototypeOf(o)) { try { delete o[name]; } catch (e) {} } } "
           "try { delete WorkerNavigator.prototype.storage; delete Response.prototype.blob; "
           "delete Request.prototype.blob; } catch (e) {} "
           "try { const found = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, "
           "'response'); const get = found.get; found.get = function () { return "
           "this.responseType === 'blob' ? null : get.call(this); }; "
           "Object.defineProperty(XMLHttpRequest.prototype, 'response', found); } catch (e) {}\n";
}

QString WidgetResources::contentSecurityPolicy(const WidgetManifest& manifest) {
    const QString origins = manifest.networkOrigins.value_or(QStringList()).join(QLatin1Char(' '));
    const QString connect = origins.isEmpty() ? QStringLiteral("'none'") : origins;
    return QStringLiteral("default-src 'none'; script-src tarn-widget:; style-src tarn-widget: "
                          "'unsafe-inline'; img-src tarn-widget: data: ") +
           origins + QStringLiteral("; font-src tarn-widget:; connect-src ") + connect +
           QStringLiteral("; frame-src 'none'; object-src 'none'; base-uri 'none'; "
                          "form-action 'none'");
}

QString WidgetResources::mimeType(const QString& fileName) {
    static const QHash<QString, QString> types = {
            {"html", "text/html"},       {"htm", "text/html"},
            {"css", "text/css"},         {"js", "text/javascript"},
            {"mjs", "text/javascript"},  {"json", "application/json"},
            {"map", "application/json"}, {"xml", "application/xml"},
            {"txt", "text/plain"},       {"md", "text/markdown"},
            {"csv", "text/csv"},         {"svg", "image/svg+xml"},
            {"png", "image/png"},        {"apng", "image/apng"},
            {"jpg", "image/jpeg"},       {"jpeg", "image/jpeg"},
            {"gif", "image/gif"},        {"webp", "image/webp"},
            {"avif", "image/avif"},      {"ico", "image/vnd.microsoft.icon"},
            {"bmp", "image/bmp"},        {"woff", "font/woff"},
            {"woff2", "font/woff2"},     {"ttf", "font/ttf"},
            {"otf", "font/otf"},         {"wasm", "application/wasm"},
            {"mp3", "audio/mpeg"},       {"wav", "audio/wav"},
            {"ogg", "audio/ogg"},        {"m4a", "audio/mp4"},
            {"mp4", "video/mp4"},        {"webm", "video/webm"},
    };
    return types.value(QFileInfo(fileName).suffix().toLower(),
                       QStringLiteral("application/octet-stream"));
}
