#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

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
