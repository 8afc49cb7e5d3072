#pragma once

#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// The contents of a package's "manifest.json".
struct WidgetManifest {
    qint64 apiVersion = 1;
    QString id;
    QString name;
    QString version;
    QString author;
    std::optional<QString> category;
    std::optional<QString> symbol;
    QString entry;
    QStringList permissions;
    std::optional<QStringList> networkOrigins;
    std::optional<double> preferredWidth;
    std::optional<QMap<QString, double>> boardWidths;

    // The manifest file's object; a syntax error is given by line and column. Throws
    // DecodingError.
    static QJsonObject parse(const QByteArray& bytes);
    // Strict about types and required keys, silent about keys it does not know. Throws
    // DecodingError.
    static WidgetManifest fromJson(const QJsonObject& object);
    // The keys a manifest may have, required ones first.
    static const QStringList& keys();
    QJsonObject toJson() const;

    // The library category: trimmed, "General" when absent, "AI" in any case as "AI", every other
    // word capitalised.
    QString categoryName() const;
    QString symbolName() const;
    bool declares(const QString& permission) const { return permissions.contains(permission); }
    // The width for a page: its own entry, else the preferred width.
    std::optional<double> width(const QString& boardRawValue) const;

    static const QSet<QString>& supportedPermissions();

    bool operator==(const WidgetManifest&) const = default;
};
