#include "WidgetPackage.h"

#include "model/JsonCoding.h"
#include "model/WidgetError.h"
#include "widgets/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBoundaryFinder>
#include <QUrl>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const char* message) {
    throw WidgetError::invalid(QString::fromUtf8(message));
}

QString systemError(const QString& subject) {
    return subject + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

// Walks the whole folder without following links, counting entries and bytes as it goes, and
// stops at the first link or once a limit is passed. File names are handled as raw bytes, so a
// name that is not valid text cannot hide a link.
void checkContents(const QString& root) {
    QByteArray top = QFile::encodeName(root);
    // A trailing slash would make lstat look through a link.
    while (top.size() > 1 && top.endsWith('/'))
        top.chop(1);
    DIR* first = ::opendir(top.constData());
    if (!first)
        fail("Cannot read package");
    struct stat rootStatus {};
    if (::lstat(top.constData(), &rootStatus) != 0) {
        ::closedir(first);
        throw WidgetError::invalid(systemError(root));
    }
    if (S_ISLNK(rootStatus.st_mode)) {
        ::closedir(first);
        fail("Symbolic links are not allowed");
    }

    int entries = 0;
    qint64 bytes = 0;
    QList<QByteArray> pending;
    DIR* folder = first;
    QByteArray folderPath = top;
    for (;;) {
        if (folder) {
            while (const dirent* entry = ::readdir(folder)) {
                const QByteArray name(entry->d_name);
                if (name == "." || name == "..")
                    continue;
                struct stat status {};
                // Entries that vanish or cannot be read during the walk are passed over.
                if (::fstatat(::dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                if (S_ISLNK(status.st_mode)) {
                    ::closedir(folder);
                    fail("Symbolic links are not allowed");
                }
                bytes += S_ISREG(status.st_mode) ? qint64(status.st_size) : 0;
                if (bytes > WidgetPackage::maximumBytes ||
                    entries >= WidgetPackage::maximumEntries) {
                    ::closedir(folder);
                    fail("Package exceeds 10 MB or 250 files");
                }
                ++entries;
                if (S_ISDIR(status.st_mode))
                    pending.append(folderPath + '/' + name);
            }
            ::closedir(folder);
        }
        if (pending.isEmpty())
            return;
        folderPath = pending.takeLast();
        folder = ::opendir(folderPath.constData());
    }
}

// The manifest's bytes; only a regular file of at most 16,384 bytes is read.
QByteArray readManifest(const QString& root) {
    const RegularFile manifest =
            RegularFile::read(QDir(root).filePath(QStringLiteral("manifest.json")),
                              WidgetPackage::maximumManifestBytes);
    if (manifest.status == RegularFile::Status::tooLarge)
        fail("Manifest is too large");
    if (manifest.status == RegularFile::Status::failed)
        throw WidgetError::invalid(manifest.error);
    return manifest.contents;
}

WidgetManifest decodeManifest(const QByteArray& bytes) {
    try {
        return WidgetManifest::fromJson(Json::parseObject(bytes));
    } catch (const DecodingError& error) {
        throw WidgetError::invalid(QStringLiteral("manifest.json: ") + error.message());
    }
}

void checkIdentity(const WidgetManifest& manifest) {
    static const QRegularExpression identity(
            QRegularExpression::anchoredPattern(QStringLiteral("[a-z][a-z0-9.-]{0,79}")));
    const qsizetype nameLength = characterCount(manifest.name);
    if (!identity.match(manifest.id).hasMatch() || nameLength == 0 || nameLength > 80 ||
        manifest.version.isEmpty())
        fail("Invalid widget identity");
}

void checkCategory(const WidgetManifest& manifest) {
    if (manifest.category &&
        (manifest.category->trimmed().isEmpty() || characterCount(*manifest.category) > 40))
        fail("Category must contain 1–40 characters");
}

void checkPermissions(const WidgetManifest& manifest) {
    for (const QString& permission : manifest.permissions) {
        if (!WidgetManifest::supportedPermissions().contains(permission))
            fail("Unsupported widget permission");
    }
    for (const QString& origin : manifest.networkOrigins.value_or(QStringList())) {
        if (!manifest.declares(QStringLiteral("network")) || !isExplicitHttpsOrigin(origin))
            fail("Network origins must be explicit HTTPS origins with the network permission");
    }
}

void checkWidths(const WidgetManifest& manifest) {
    QList<double> widths;
    if (manifest.boardWidths)
        widths += manifest.boardWidths->values();
    if (manifest.preferredWidth)
        widths.append(*manifest.preferredWidth);
    for (double width : widths) {
        if (!std::isfinite(width) || width < 220 || width > 1100)
            fail("Widget widths must be between 220 and 1100");
    }
}

void checkEntry(const WidgetManifest& manifest, const QString& root) {
    const QString entry = WidgetPackage::resource(manifest.entry, root);
    const QFileInfo file(entry);
    if (file.suffix().compare(QStringLiteral("html"), Qt::CaseInsensitive) != 0 || !file.exists())
        fail("Entry must be an existing HTML file");
}

// The path with links resolved and dots removed; just cleaned when nothing exists there.
QString resolved(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

bool isSymbolicLink(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISLNK(status.st_mode);
}

} // namespace

WidgetPackage WidgetPackage::read(const QString& root, bool bundled) {
    checkContents(root);
    const WidgetManifest manifest = decodeManifest(readManifest(root));
    if (manifest.apiVersion != 1)
        throw WidgetError::invalid(
                QStringLiteral("Unsupported widget API %1").arg(manifest.apiVersion));
    checkIdentity(manifest);
    checkCategory(manifest);
    checkPermissions(manifest);
    checkWidths(manifest);
    checkEntry(manifest, root);
    return WidgetPackage{manifest, root, bundled};
}

QString WidgetPackage::resource(const QString& path, const QString& root) {
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QChar(0)))
        fail("Invalid resource path");
    const QStringList pieces = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (pieces.contains(QStringLiteral("..")) || path.contains(QLatin1Char('\\')))
        fail("Invalid resource path");
    const QString base = resolved(root);
    QString candidate = base;
    for (const QString& piece : pieces) {
        candidate += QLatin1Char('/') + piece;
        if (isSymbolicLink(candidate))
            fail("Symbolic links are not allowed");
    }
    const QString full = resolved(candidate);
    if (!full.startsWith(base + QLatin1Char('/')))
        fail("Resource is outside package");
    return full;
}

bool isExplicitHttpsOrigin(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QStringLiteral("https") || url.host().isEmpty())
        return false;
    if (!url.userName().isEmpty() || !url.password().isEmpty() || url.hasQuery() ||
        url.hasFragment() || !url.path().isEmpty())
        return false;
    // Writing the origin out again must give the very same text.
    QString origin = QStringLiteral("https://") + url.host();
    if (url.port() != -1)
        origin += QLatin1Char(':') + QString::number(url.port());
    return origin == text;
}

qsizetype characterCount(const QString& text) {
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (graphemes.toNextBoundary() != -1)
        ++count;
    return count;
}
