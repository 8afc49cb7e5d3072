#include "WidgetPackage.h"

#include "model/JsonCoding.h"
#include "model/RegularFile.h"
#include "model/WidgetError.h"
#include "packages/NameSuggestion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
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

[[noreturn]] void fail(const char* message, const QString& detail = {}) {
    throw WidgetError::invalid(QString::fromUtf8(message), detail);
}

QString systemError(const QString& subject) {
    return subject + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString number(qint64 value) {
    return QLocale(QLocale::English).toString(value);
}

QString number(double value) {
    return QLocale(QLocale::English).toString(value, 'g', 10);
}

// What a package folder holds, as far as its walk went.
struct Contents {
    int entries = 0;
    qint64 bytes = 0;
    bool complete = true; // false: the walk stopped early, the counts are lower bounds
};

// Walks the whole folder without following links, counting entries and bytes as it goes, and
// stops at the first link or once a limit is passed. File names are handled as raw bytes, so a
// name that is not valid text cannot hide a link. Past a limit the walk goes on a little to say
// by how much, but no further than ten times the limits: a hostile folder costs no more.
void checkContents(const QString& root) {
    QByteArray top = QFile::encodeName(root);
    // A trailing slash would make lstat look through a link.
    while (top.size() > 1 && top.endsWith('/'))
        top.chop(1);
    DIR* first = ::opendir(top.constData());
    if (!first) {
        const QFileInfo folder(root);
        fail("Cannot read package", !folder.exists() && !folder.isSymLink()
                                            ? QStringLiteral("%1 does not exist").arg(quoted(root))
                                    : !folder.isDir()
                                            ? QStringLiteral("%1 is not a folder").arg(quoted(root))
                                            : systemError(quoted(root)));
    }
    struct stat rootStatus {};
    if (::lstat(top.constData(), &rootStatus) != 0) {
        ::closedir(first);
        throw WidgetError::invalid(systemError(root));
    }
    if (S_ISLNK(rootStatus.st_mode)) {
        ::closedir(first);
        fail("Symbolic links are not allowed",
             QStringLiteral("the package folder %1 is itself a link; name the folder it points to")
                     .arg(quoted(root)));
    }

    constexpr int walkLimit = 10 * WidgetPackage::maximumEntries;
    Contents counted;
    bool overLimit = false;
    QList<QByteArray> pending;
    DIR* folder = first;
    QByteArray folderPath = top;
    const auto relative = [&top](const QByteArray& path) {
        return QFile::decodeName(path.mid(top.size() + 1));
    };
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
                if (S_ISLNK(status.st_mode) && !overLimit) {
                    ::closedir(folder);
                    fail("Symbolic links are not allowed",
                         QStringLiteral("%1 is a link; copy the file it points to into the package")
                                 .arg(quoted(relative(folderPath + '/' + name))));
                }
                counted.bytes += S_ISREG(status.st_mode) ? qint64(status.st_size) : 0;
                if (counted.bytes > WidgetPackage::maximumBytes ||
                    counted.entries >= WidgetPackage::maximumEntries)
                    overLimit = true;
                ++counted.entries;
                if (overLimit && counted.entries >= walkLimit) {
                    counted.complete = false;
                    break;
                }
                if (S_ISDIR(status.st_mode))
                    pending.append(folderPath + '/' + name);
            }
            ::closedir(folder);
        }
        if (pending.isEmpty() || !counted.complete)
            break;
        folderPath = pending.takeLast();
        folder = ::opendir(folderPath.constData());
    }
    if (!overLimit)
        return;
    const QString more = counted.complete ? QString() : QStringLiteral("at least ");
    fail("Package exceeds 10 MB or 250 files",
         QStringLiteral("%1%2 files and folders (at most %3), %1%4 bytes in files (at most %5)")
                 .arg(more, number(qint64(counted.entries)),
                      number(qint64(WidgetPackage::maximumEntries)), number(counted.bytes),
                      number(WidgetPackage::maximumBytes)));
}

// The manifest's bytes; only a regular file of at most 16,384 bytes is read.
QByteArray readManifest(const QString& root) {
    const RegularFile manifest =
            RegularFile::read(QDir(root).filePath(QStringLiteral("manifest.json")),
                              WidgetPackage::maximumManifestBytes);
    if (manifest.status == RegularFile::Status::tooLarge)
        fail("Manifest is too large",
             QStringLiteral("manifest.json has %1 bytes (at most %2)")
                     .arg(number(QFileInfo(QDir(root).filePath(QStringLiteral("manifest.json")))
                                         .size()),
                          number(WidgetPackage::maximumManifestBytes)));
    if (manifest.status == RegularFile::Status::failed)
        throw WidgetError::invalid(manifest.error);
    return manifest.contents;
}

WidgetManifest decodeManifest(const QByteArray& bytes) {
    try {
        return WidgetManifest::fromJson(WidgetManifest::parse(bytes));
    } catch (const DecodingError& error) {
        throw WidgetError::invalid(QStringLiteral("manifest.json: ") + error.message());
    }
}

void checkIdentity(const WidgetManifest& manifest) {
    static const QRegularExpression identity(
            QRegularExpression::anchoredPattern(QStringLiteral("[a-z][a-z0-9.-]{0,79}")));
    if (!identity.match(manifest.id).hasMatch())
        fail("Invalid widget identity",
             QStringLiteral("id %1 (a lowercase letter, then lowercase letters, digits, dots and "
                            "hyphens, at most 80)")
                     .arg(quoted(manifest.id)));
    const qsizetype nameLength = characterCount(manifest.name);
    if (nameLength == 0 || nameLength > 80)
        fail("Invalid widget identity",
             QStringLiteral("name has %1 characters (1 to 80)").arg(nameLength));
    if (manifest.version.isEmpty())
        fail("Invalid widget identity",
             QStringLiteral("version is empty (any text, such as \"1.0\")"));
}

void checkCategory(const WidgetManifest& manifest) {
    if (!manifest.category)
        return;
    const qsizetype length = characterCount(*manifest.category);
    if (manifest.category->trimmed().isEmpty() || length > 40)
        fail("Category must contain 1–40 characters",
             QStringLiteral("category %1 has %2 characters%3")
                     .arg(quoted(*manifest.category))
                     .arg(length)
                     .arg(length <= 40 ? QStringLiteral(", all of them spaces") : QString()));
}

QStringList sortedPermissions() {
    // In the order people read them in the documentation.
    return {QStringLiteral("metrics"),   QStringLiteral("focus"),    QStringLiteral("notes"),
            QStringLiteral("shortcuts"), QStringLiteral("storage"),  QStringLiteral("network"),
            QStringLiteral("spotify"),   QStringLiteral("audio"),    QStringLiteral("calendar"),
            QStringLiteral("reminders"), QStringLiteral("activity"), QStringLiteral("automations"),
            QStringLiteral("project"),   QStringLiteral("ai")};
}

void checkPermissionNames(const WidgetManifest& manifest) {
    for (const QString& permission : manifest.permissions) {
        if (WidgetManifest::supportedPermissions().contains(permission))
            continue;
        const auto meant = closestName(permission, sortedPermissions());
        fail("Unsupported widget permission",
             meant ? QStringLiteral("%1 (did you mean %2?)").arg(quoted(permission), quoted(*meant))
                   : QStringLiteral("%1 (one of %2)")
                             .arg(quoted(permission),
                                  sortedPermissions().join(QStringLiteral(", "))));
    }
}

void checkOrigins(const WidgetManifest& manifest) {
    const QStringList origins = manifest.networkOrigins.value_or(QStringList());
    for (qsizetype index = 0; index < origins.size(); ++index) {
        const QString& origin = origins[index];
        const QString entry =
                QStringLiteral("networkOrigins entry %1, %2").arg(index + 1).arg(quoted(origin));
        if (!manifest.declares(QStringLiteral("network")))
            fail("Network origins must be explicit HTTPS origins with the network permission",
                 entry + QStringLiteral(": the permissions do not include \"network\""));
        if (isExplicitHttpsOrigin(origin))
            continue;
        const QUrl url(origin, QUrl::StrictMode);
        if (!url.isValid() || url.scheme() != QStringLiteral("https") || url.host().isEmpty())
            fail("Network origins must be explicit HTTPS origins with the network permission",
                 entry + QStringLiteral(": not an HTTPS address (it must start with "
                                        "\"https://\", in lowercase, and name a host)"));
        QString meant = QStringLiteral("https://") + url.host();
        if (url.port() != -1)
            meant += QLatin1Char(':') + QString::number(url.port());
        const bool suggest = meant != origin && !url.host().startsWith(QLatin1Char('['));
        fail("Network origins must be explicit HTTPS origins with the network permission",
             entry +
                     QStringLiteral(": not an explicit origin (only https://host or "
                                    "https://host:port, without a path, not even \"/\", a query, "
                                    "a fragment or a user name)") +
                     (suggest ? QStringLiteral("; did you mean %1?").arg(quoted(meant))
                              : QString()));
    }
}

void checkWidths(const WidgetManifest& manifest) {
    QList<std::pair<QString, double>> widths;
    if (manifest.boardWidths) {
        for (auto it = manifest.boardWidths->begin(); it != manifest.boardWidths->end(); ++it)
            widths.append({QStringLiteral("boardWidths %1").arg(quoted(it.key())), it.value()});
    }
    if (manifest.preferredWidth)
        widths.append({QStringLiteral("preferredWidth"), *manifest.preferredWidth});
    for (const auto& [field, width] : widths) {
        if (!std::isfinite(width) || width < 220 || width > 1100)
            fail("Widget widths must be between 220 and 1100",
                 QStringLiteral("%1 is %2 (points, from 220 to 1100)").arg(field, number(width)));
    }
}

void checkEntry(const WidgetManifest& manifest, const QString& root) {
    QString entry;
    try {
        entry = WidgetPackage::resource(manifest.entry, root);
    } catch (const WidgetError& error) {
        throw WidgetError::invalid(error.message(),
                                   QStringLiteral("entry ") + quoted(manifest.entry) +
                                           (error.detail().isEmpty()
                                                    ? QString()
                                                    : QStringLiteral(": ") + error.detail()));
    }
    const QFileInfo file(entry);
    if (file.suffix().compare(QStringLiteral("html"), Qt::CaseInsensitive) != 0)
        fail("Entry must be an existing HTML file",
             QStringLiteral("entry %1 does not end in .html").arg(quoted(manifest.entry)));
    if (!file.exists())
        fail("Entry must be an existing HTML file",
             QStringLiteral("entry %1: the package has no such file").arg(quoted(manifest.entry)));
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
                QStringLiteral("Unsupported widget API %1").arg(manifest.apiVersion),
                QStringLiteral("apiVersion must be 1"));
    checkIdentity(manifest);
    checkCategory(manifest);
    checkPermissionNames(manifest);
    checkOrigins(manifest);
    checkWidths(manifest);
    checkEntry(manifest, root);
    return WidgetPackage{manifest, root, bundled};
}

void WidgetPackage::checkPermissions(const WidgetManifest& manifest) {
    checkPermissionNames(manifest);
}

QString WidgetPackage::resource(const QString& path, const QString& root) {
    const QString rule = QStringLiteral(
            "a path inside the package: not empty, not starting with \"/\", without \"..\" or a "
            "backslash");
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QChar(0)))
        fail("Invalid resource path", rule);
    const QStringList pieces = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (pieces.contains(QStringLiteral("..")) || path.contains(QLatin1Char('\\')))
        fail("Invalid resource path", rule);
    const QString base = resolved(root);
    QString candidate = base;
    for (const QString& piece : pieces) {
        candidate += QLatin1Char('/') + piece;
        if (isSymbolicLink(candidate))
            fail("Symbolic links are not allowed",
                 QStringLiteral("%1 is a link").arg(quoted(candidate.mid(base.size() + 1))));
    }
    const QString full = resolved(candidate);
    if (!full.startsWith(base + QLatin1Char('/')))
        fail("Resource is outside package", QStringLiteral("it names the package folder itself"));
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
