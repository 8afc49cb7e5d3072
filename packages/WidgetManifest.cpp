#include "WidgetManifest.h"

#include "model/JsonCoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

QStringList stringList(const QJsonValue& value, const QString& key) {
    QStringList list;
    for (const QJsonValue& entry : Json::arrayValue(value, key))
        list.append(Json::stringValue(entry, key));
    return list;
}

const QStringList requiredKeys = {"apiVersion", "id",    "name",       "version",
                                  "author",     "entry", "permissions"};

} // namespace

const QStringList& WidgetManifest::keys() {
    static const QStringList all =
            requiredKeys +
            QStringList{"category", "symbol", "networkOrigins", "preferredWidth", "boardWidths"};
    return all;
}

QJsonObject WidgetManifest::parse(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        const QByteArray before = bytes.left(error.offset);
        const qsizetype lineStart = before.lastIndexOf('\n') + 1;
        throw DecodingError(QStringLiteral("invalid JSON at line %1, column %2: %3")
                                    .arg(before.count('\n') + 1)
                                    .arg(QString::fromUtf8(before.mid(lineStart)).size() + 1)
                                    .arg(error.errorString()));
    }
    if (!document.isObject())
        throw DecodingError(QStringLiteral("the manifest must be one JSON object, {...}"));
    return document.object();
}

WidgetManifest WidgetManifest::fromJson(const QJsonObject& object) {
    for (const QString& key : requiredKeys) {
        if (Json::isMissing(object, key))
            throw DecodingError(QStringLiteral("the required key \"%1\" is missing").arg(key));
    }
    WidgetManifest manifest;
    manifest.apiVersion = Json::integerValue(object.value(QStringLiteral("apiVersion")),
                                             QStringLiteral("apiVersion"));
    manifest.id = Json::requiredString(object, QStringLiteral("id"));
    manifest.name = Json::requiredString(object, QStringLiteral("name"));
    manifest.version = Json::requiredString(object, QStringLiteral("version"));
    manifest.author = Json::requiredString(object, QStringLiteral("author"));
    manifest.category = Json::optionalString(object, QStringLiteral("category"));
    manifest.symbol = Json::optionalString(object, QStringLiteral("symbol"));
    manifest.entry = Json::requiredString(object, QStringLiteral("entry"));
    manifest.permissions =
            stringList(object.value(QStringLiteral("permissions")), QStringLiteral("permissions"));
    if (!Json::isMissing(object, QStringLiteral("networkOrigins")))
        manifest.networkOrigins = stringList(object.value(QStringLiteral("networkOrigins")),
                                             QStringLiteral("networkOrigins"));
    if (!Json::isMissing(object, QStringLiteral("preferredWidth")))
        manifest.preferredWidth = Json::numberValue(object.value(QStringLiteral("preferredWidth")),
                                                    QStringLiteral("preferredWidth"));
    if (!Json::isMissing(object, QStringLiteral("boardWidths"))) {
        QMap<QString, double> widths;
        const QJsonObject entries = Json::objectValue(object.value(QStringLiteral("boardWidths")),
                                                      QStringLiteral("boardWidths"));
        for (auto it = entries.begin(); it != entries.end(); ++it)
            widths.insert(it.key(), Json::numberValue(it.value(), QStringLiteral("boardWidths")));
        manifest.boardWidths = widths;
    }
    return manifest;
}

QJsonObject WidgetManifest::toJson() const {
    QJsonObject object{{QStringLiteral("apiVersion"), apiVersion},
                       {QStringLiteral("id"), id},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("version"), version},
                       {QStringLiteral("author"), author},
                       {QStringLiteral("entry"), entry},
                       {QStringLiteral("permissions"), QJsonArray::fromStringList(permissions)}};
    if (category)
        object.insert(QStringLiteral("category"), *category);
    if (symbol)
        object.insert(QStringLiteral("symbol"), *symbol);
    if (networkOrigins)
        object.insert(QStringLiteral("networkOrigins"),
                      QJsonArray::fromStringList(*networkOrigins));
    if (preferredWidth)
        object.insert(QStringLiteral("preferredWidth"), *preferredWidth);
    if (boardWidths) {
        QJsonObject widths;
        for (auto it = boardWidths->begin(); it != boardWidths->end(); ++it)
            widths.insert(it.key(), it.value());
        object.insert(QStringLiteral("boardWidths"), widths);
    }
    return object;
}

QString WidgetManifest::categoryName() const {
    const QString trimmed = category ? category->trimmed() : QStringLiteral("General");
    if (trimmed.compare(QStringLiteral("AI"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("AI");
    // Capitalised word by word, words being separated by white space: "web-tools" gives
    // "Web-tools", "SYSTEM info" gives "System Info".
    QString result = trimmed.toLower();
    bool startOfWord = true;
    for (QChar& c : result) {
        if (startOfWord)
            c = c.toUpper();
        startOfWord = c.isSpace();
    }
    return result;
}

QString WidgetManifest::symbolName() const {
    return symbol.value_or(QStringLiteral("puzzlepiece.extension"));
}

std::optional<double> WidgetManifest::width(const QString& boardRawValue) const {
    if (boardWidths && boardWidths->contains(boardRawValue))
        return boardWidths->value(boardRawValue);
    return preferredWidth;
}

const QSet<QString>& WidgetManifest::supportedPermissions() {
    static const QSet<QString> names = {
            QStringLiteral("metrics"),   QStringLiteral("focus"),    QStringLiteral("notes"),
            QStringLiteral("shortcuts"), QStringLiteral("storage"),  QStringLiteral("network"),
            QStringLiteral("spotify"),   QStringLiteral("audio"),    QStringLiteral("calendar"),
            QStringLiteral("reminders"), QStringLiteral("activity"), QStringLiteral("automations"),
            QStringLiteral("project"),   QStringLiteral("ai")};
    return names;
}
