#include "PackageLint.h"

#include "model/RegularFile.h"
#include "model/WidgetError.h"
#include "packages/NameSuggestion.h"
#include "packages/SampleState.h"
#include "widgets/WidgetBridge.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <tuple>

namespace {

using Warnings = QList<LintWarning>;

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

int lineAt(const QString& text, qsizetype offset) {
    return int(QStringView(text).left(offset).count(QLatin1Char('\n'))) + 1;
}

// Comments hold addresses and code that never run: they are blanked, keeping line breaks so
// line numbers still match the file.
QString blanked(QString text, const QRegularExpression& comment) {
    QRegularExpressionMatchIterator matches = comment.globalMatch(text);
    QList<std::pair<qsizetype, qsizetype>> spans;
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        spans.append({match.capturedStart(), match.capturedLength()});
    }
    for (const auto& [start, length] : spans) {
        for (qsizetype i = start; i < start + length; ++i) {
            if (text[i] != QLatin1Char('\n'))
                text[i] = QLatin1Char(' ');
        }
    }
    return text;
}

QString withoutHtmlComments(const QString& text) {
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return blanked(text, comment);
}

QString withoutScriptComments(const QString& text) {
    // Block comments, and line comments that do not follow a colon (keeping "https://").
    static const QRegularExpression comment(QStringLiteral("/\\*.*?\\*/|(?<![:\\\\])//[^\\n]*"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return blanked(text, comment);
}

// One page, script or style sheet of the package.
struct WebFile {
    QString relative; // to the package folder
    QString text;     // comments blanked
    enum class Kind { html, script, style } kind;
};

std::optional<WebFile::Kind> kindOf(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QStringLiteral("html") || suffix == QStringLiteral("htm"))
        return WebFile::Kind::html;
    if (suffix == QStringLiteral("js") || suffix == QStringLiteral("mjs"))
        return WebFile::Kind::script;
    if (suffix == QStringLiteral("css"))
        return WebFile::Kind::style;
    return std::nullopt;
}

QList<WebFile> webFilesOf(const QString& root) {
    QList<WebFile> files;
    const QDir base(root);
    QDirIterator walk(root, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        const auto kind = kindOf(path);
        if (!kind)
            continue;
        const RegularFile file = RegularFile::read(path, WidgetPackage::maximumBytes);
        if (file.status != RegularFile::Status::read)
            continue;
        QString text = QString::fromUtf8(file.contents);
        text = *kind == WebFile::Kind::html ? withoutHtmlComments(text)
                                            : withoutScriptComments(text);
        files.append({base.relativeFilePath(path), text, *kind});
    }
    std::sort(files.begin(), files.end(),
              [](const WebFile& a, const WebFile& b) { return a.relative < b.relative; });
    return files;
}

// The value of one attribute in a tag's attribute text, quoted or not.
std::optional<QString> attribute(const QString& attributes, const QString& name) {
    const QRegularExpression pattern(
            QStringLiteral("(?:^|\\s)%1\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))")
                    .arg(QRegularExpression::escape(name)),
            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(attributes);
    if (!match.hasMatch())
        return std::nullopt;
    for (int group = 1; group <= 3; ++group) {
        if (match.capturedStart(group) >= 0)
            return match.captured(group);
    }
    return QString();
}

bool isRemote(const QString& reference) {
    return reference.contains(QStringLiteral("://")) || reference.startsWith(QStringLiteral("//"));
}

class Linter {
public:
    Linter(const WidgetPackage& package, QString sdkDirectory)
        : m_package(package), m_root(QFileInfo(package.root).absoluteFilePath()),
          m_sdk(std::move(sdkDirectory)) {
        for (const QString& origin : package.manifest.networkOrigins.value_or(QStringList()))
            m_origins.insert(origin);
    }

    Warnings run() {
        for (const WebFile& file : webFilesOf(m_root)) {
            if (file.kind == WebFile::Kind::html)
                page(file);
            else if (file.kind == WebFile::Kind::style)
                styleSheet(file);
            else
                script(file);
            addresses(file);
        }
        std::stable_sort(m_warnings.begin(), m_warnings.end(),
                         [](const LintWarning& a, const LintWarning& b) {
                             return std::tie(a.file, a.line) < std::tie(b.file, b.line);
                         });
        return m_warnings;
    }

private:
    void warn(const WebFile& file, qsizetype offset, const QString& message) {
        m_warnings.append({file.relative, lineAt(file.text, offset), message});
    }

    void page(const WebFile& file) {
        static const QRegularExpression tag(QStringLiteral("<([a-zA-Z][a-zA-Z0-9-]*)([^>]*)>"));
        static const QRegularExpression handler(QStringLiteral("\\s(on[a-zA-Z]+)\\s*="));
        static const QRegularExpression scriptEnd(QStringLiteral("</script\\s*>"),
                                                  QRegularExpression::CaseInsensitiveOption);
        QRegularExpressionMatchIterator tags = tag.globalMatch(file.text);
        while (tags.hasNext()) {
            const QRegularExpressionMatch match = tags.next();
            const QString name = match.captured(1).toLower();
            const QString attributes = match.captured(2);
            const qsizetype at = match.capturedStart();
            QRegularExpressionMatchIterator handlers = handler.globalMatch(attributes);
            while (handlers.hasNext()) {
                const QString event = handlers.next().captured(1);
                warn(file, at,
                     QStringLiteral("the %1 attribute of <%2> never runs: the content policy "
                                    "allows only script files of the package. Add the handler "
                                    "with addEventListener in a .js file instead")
                             .arg(event, name));
            }
            if (name == QStringLiteral("script")) {
                const auto source = attribute(attributes, QStringLiteral("src"));
                if (source) {
                    reference(file, at, name, *source);
                    continue;
                }
                const auto type = attribute(attributes, QStringLiteral("type"));
                const bool runnable = !type || type->isEmpty() ||
                                      type->contains(QStringLiteral("javascript")) ||
                                      type->compare(QStringLiteral("module")) == 0;
                const qsizetype end = file.text.indexOf(scriptEnd, match.capturedEnd());
                const QString body = file.text.mid(match.capturedEnd(),
                                                   end < 0 ? -1 : end - match.capturedEnd());
                if (runnable && !body.trimmed().isEmpty())
                    warn(file, at,
                         QStringLiteral("this inline <script> never runs: the content policy "
                                        "allows only script files of the package. Move it into "
                                        "a .js file and load that with <script src=\"...\">"));
            } else if (name == QStringLiteral("link")) {
                if (const auto target = attribute(attributes, QStringLiteral("href")))
                    reference(file, at, name, *target);
            } else if (name == QStringLiteral("img")) {
                if (const auto source = attribute(attributes, QStringLiteral("src")))
                    reference(file, at, name, *source);
            }
        }
    }

    void styleSheet(const WebFile& file) {
        static const QRegularExpression url(
                QStringLiteral("url\\(\\s*(?:\"([^\"]*)\"|'([^']*)'|([^)\\s]*))\\s*\\)"));
        QRegularExpressionMatchIterator matches = url.globalMatch(file.text);
        while (matches.hasNext()) {
            const QRegularExpressionMatch match = matches.next();
            QString target;
            for (int group = 1; group <= 3; ++group) {
                if (match.capturedStart(group) >= 0)
                    target = match.captured(group);
            }
            reference(file, match.capturedStart(), QStringLiteral("url()"), target);
        }
    }

    // A file a page or style sheet loads: it must be in the package (or the SDK folder); remote
    // scripts and styles are refused whatever the manifest says.
    void reference(const WebFile& file, qsizetype at, const QString& what, QString target) {
        target = target.trimmed();
        target = target.left(target.indexOf(QRegularExpression(QStringLiteral("[?#]"))));
        if (target.isEmpty() || target.startsWith(QStringLiteral("data:")) ||
            target.startsWith(QStringLiteral("blob:")))
            return;
        const QString shown =
                what == QStringLiteral("url()") ? what : QLatin1Char('<') + what + QLatin1Char('>');
        const QString scheme = QStringLiteral("tarn-widget://widget");
        if (target.startsWith(scheme))
            target = target.mid(scheme.size());
        if (isRemote(target)) {
            if (what == QStringLiteral("script") || what == QStringLiteral("link"))
                warn(file, at,
                     QStringLiteral("%1 loads %2 from the network, which the content policy "
                                    "refuses: scripts and style sheets load only from the "
                                    "package. Copy the file into the package")
                             .arg(shown, target));
            return; // images: the address check below decides
        }
        const QString path = QUrl::fromPercentEncoding(target.toUtf8());
        QString location;
        if (path.startsWith(QStringLiteral("/_tarn/")))
            location = QDir(m_sdk).filePath(path.mid(7));
        else if (path.startsWith(QLatin1Char('/')))
            location = m_root + path;
        else
            location = QFileInfo(QDir(m_root).filePath(file.relative)).dir().filePath(path);
        location = QDir::cleanPath(location);
        const bool inSdk = path.startsWith(QStringLiteral("/_tarn/"));
        const bool inside =
                location.startsWith((inSdk ? QDir::cleanPath(m_sdk) : m_root) + QLatin1Char('/'));
        if (inside && QFileInfo(location).isFile())
            return;
        warn(file, at,
             inSdk ? QStringLiteral("%1 points at %2, which the widget SDK does not have")
                             .arg(shown, quoted(path))
             : inside ? QStringLiteral("%1 points at %2, which the package does not hold")
                                .arg(shown, quoted(QDir(m_root).relativeFilePath(location)))
                      : QStringLiteral("%1 points at %2, outside the package: only the "
                                       "package's own files are served")
                                .arg(shown, quoted(path)));
    }

    // Addresses of other origins: plain HTTP never works, HTTPS only for declared origins.
    void addresses(const WebFile& file) {
        static const QRegularExpression address(QStringLiteral("\\bhttps?://[^\\s\"'`<>()\\\\]+"),
                                                QRegularExpression::CaseInsensitiveOption);
        QSet<QString> told;
        QRegularExpressionMatchIterator matches = address.globalMatch(file.text);
        while (matches.hasNext()) {
            const QRegularExpressionMatch match = matches.next();
            const QUrl url(match.captured());
            // XML namespaces (SVG elements made by script) are names, never fetched.
            if (url.host() == QStringLiteral("www.w3.org") || url.host().isEmpty())
                continue;
            QString origin = url.scheme().toLower() + QStringLiteral("://") + url.host();
            if (url.port() != -1)
                origin += QLatin1Char(':') + QString::number(url.port());
            if (m_origins.contains(origin) || told.contains(origin))
                continue;
            told.insert(origin);
            if (url.scheme().compare(QStringLiteral("https"), Qt::CaseInsensitive) != 0)
                warn(file, match.capturedStart(),
                     QStringLiteral("%1 is plain HTTP, which a widget can never reach: only "
                                    "HTTPS origins listed in networkOrigins are")
                             .arg(origin));
            else
                warn(file, match.capturedStart(),
                     QStringLiteral("%1 is not in networkOrigins, so the page cannot reach it: "
                                    "add %2 there, with the \"network\" permission, if the page "
                                    "needs it")
                             .arg(origin, quoted(origin)));
        }
    }

    // State sections and commands a script seems to use without their permission.
    void script(const WebFile& file) {
        static const QRegularExpression section(QStringLiteral(
                "\\bstate\\s*(?:\\.\\s*|\\[\\s*['\"])(metrics|focus|note|launcher|shortcuts|"
                "storage|spotify|audio|calendar|reminders|activity|automations|project|ai)\\b"));
        static const QRegularExpression storage(QStringLiteral("\\bTarn\\s*\\.\\s*storage\\b"));
        static const QRegularExpression command(QStringLiteral("['\"`]([a-z]+\\.[a-zA-Z]+)['\"`]"));
        QSet<QString> told;
        const auto tell = [&](const QString& permission, qsizetype at, const QString& message) {
            if (m_package.manifest.declares(permission) || told.contains(message))
                return;
            told.insert(message);
            warn(file, at, message);
        };
        QRegularExpressionMatchIterator sections = section.globalMatch(file.text);
        while (sections.hasNext()) {
            const QRegularExpressionMatch match = sections.next();
            const QString key = match.captured(1);
            const QString permission = key == QStringLiteral("note") ? QStringLiteral("notes")
                                       : key == QStringLiteral("launcher")
                                               ? QStringLiteral("shortcuts")
                                               : key;
            tell(permission, match.capturedStart(),
                 QStringLiteral("state.%1 seems to be read here, but the manifest does not declare "
                                "%2: without it the state has no %1 section. Add %2 to "
                                "permissions if the page needs it")
                         .arg(key, quoted(permission)));
        }
        if (const QRegularExpressionMatch match = storage.match(file.text); match.hasMatch())
            tell(QStringLiteral("storage"), match.capturedStart(),
                 QStringLiteral("Tarn.storage seems to be used here, but the manifest does not "
                                "declare \"storage\": without it nothing is kept. Add it to "
                                "permissions if the page needs it"));
        QRegularExpressionMatchIterator commands = command.globalMatch(file.text);
        while (commands.hasNext()) {
            const QRegularExpressionMatch match = commands.next();
            const auto permission = WidgetBridge::permissionFor(match.captured(1));
            if (!permission)
                continue;
            tell(*permission, match.capturedStart(),
                 QStringLiteral("the command %1 seems to be run here, but it needs the %2 "
                                "permission, which the manifest does not declare: the dashboard "
                                "would refuse it. Add %2 to permissions")
                         .arg(quoted(match.captured(1)), quoted(*permission)));
        }
    }

    const WidgetPackage& m_package;
    QString m_root;
    QString m_sdk;
    QSet<QString> m_origins;
    Warnings m_warnings;
};

} // namespace

QString LintWarning::text() const {
    return line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(message)
                    : QStringLiteral("%1: %2").arg(file, message);
}

namespace PackageLint {

Warnings manifestKeys(const QString& root) {
    const RegularFile file = RegularFile::read(QDir(root).filePath(QStringLiteral("manifest.json")),
                                               WidgetPackage::maximumManifestBytes);
    if (file.status != RegularFile::Status::read)
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(file.contents);
    const QString text = QString::fromUtf8(file.contents);
    Warnings warnings;
    for (const QString& key : document.object().keys()) {
        if (WidgetManifest::keys().contains(key))
            continue;
        const auto meant = closestName(key, WidgetManifest::keys());
        const qsizetype at = text.indexOf(QLatin1Char('"') + key + QLatin1Char('"'));
        warnings.append(
                {QStringLiteral("manifest.json"), at < 0 ? 0 : lineAt(text, at),
                 QStringLiteral("unknown key %1 is ignored%2")
                         .arg(quoted(key),
                              meant ? QStringLiteral(" (did you mean %1?)").arg(quoted(*meant))
                                    : QString())});
    }
    return warnings;
}

Warnings webFiles(const WidgetPackage& package, const QString& sdkDirectory) {
    return Linter(package, sdkDirectory).run();
}

Warnings sampleState(const WidgetPackage& package) {
    std::optional<QJsonObject> sample;
    try {
        sample = SampleState::read(package.root);
    } catch (const WidgetError& error) {
        return {{SampleState::fileName, 0,
                 error.explained() +
                         QStringLiteral("; the library draws the widget with a neutral state")}};
    }
    Warnings warnings;
    const QStringList received = WidgetBridge::sectionNames(package.manifest)
                                 << QStringLiteral("touchMode");
    for (const QString& key : sample ? sample->keys() : QStringList()) {
        if (!received.contains(key))
            warnings.append({SampleState::fileName, 0,
                             QStringLiteral("entry %1 is left out: the widget's permissions never "
                                            "give it that")
                                     .arg(quoted(key))});
    }
    return warnings;
}

} // namespace PackageLint
