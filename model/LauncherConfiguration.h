#pragma once

#include <QJsonObject>
#include <QString>

// The application one placed launcher widget opens: a standard application's bundle identifier,
// or "custom" with the path the user entered.
struct LauncherConfiguration {
    QString application;
    QString path;

    // Both keys are required.
    static LauncherConfiguration fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const LauncherConfiguration&) const = default;
};
