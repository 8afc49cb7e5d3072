#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

// The identifiers of the standard applications, as stored preferences name them.
namespace StandardApplication {
inline const QString fileManager = QStringLiteral("com.apple.finder");
inline const QString webBrowser = QStringLiteral("com.apple.Safari");
inline const QString music = QStringLiteral("com.apple.Music");
inline const QString notes = QStringLiteral("com.apple.Notes");
inline const QString terminal = QStringLiteral("com.apple.Terminal");
inline const QString settings = QStringLiteral("com.apple.systempreferences");
} // namespace StandardApplication

// One application entry of the launcher widget. A present path is opened instead of the bundle
// identifier.
struct Shortcut {
    QUuid id;
    QString name;
    QString bundleID;
    QString symbol;
    std::optional<QString> path;

    static Shortcut make(const QString& name, const QString& bundleID, const QString& symbol);

    // The six entries a new preferences record starts with, each with a fresh id.
    static QList<Shortcut> standard();

    static Shortcut fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const Shortcut&) const = default;
};
