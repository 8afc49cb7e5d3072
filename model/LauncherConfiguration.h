#pragma once

#include "model/AppLauncher.h"
#include "model/Shortcut.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// The application one placed launcher widget opens: a standard application's bundle identifier,
// or "custom" with the path the user entered.
struct LauncherConfiguration {
    QString application;
    QString path;

    // Both keys are required.
    static LauncherConfiguration fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    // The six standard applications, built once.
    static const QList<Shortcut>& standard();
    std::optional<Shortcut> standardApp() const;
    // The standard application's name; the custom application's name as the desktop gives it
    // (its desktop entry's Name in the user's language), else its file name; or "Choose an app".
    // `applications` may be null: the file name serves.
    QString name(AppLauncher* applications) const;
    // The custom path trimmed, with "~" expanded and cleaned; nothing unless it is absolute.
    std::optional<QString> standardisedPath() const;
    // The launchable shortcut. Throws WidgetError when the custom path holds no application.
    Shortcut shortcut(AppLauncher& applications) const;
    // The configuration of a launcher that has none stored: the example pages' launchers open
    // the standard applications in turn, every other one the file manager.
    static LauncherConfiguration exampleDefault(const QString& instanceID);

    bool operator==(const LauncherConfiguration&) const = default;
};
