#include "Shortcut.h"

#include "JsonCoding.h"

Shortcut Shortcut::make(const QString& name, const QString& bundleID, const QString& symbol) {
    return Shortcut{QUuid::createUuid(), name, bundleID, symbol, std::nullopt};
}

QList<Shortcut> Shortcut::standard() {
    namespace App = StandardApplication;
    return {
            make(QStringLiteral("Finder"), App::fileManager, QStringLiteral("folder")),
            make(QStringLiteral("Safari"), App::webBrowser, QStringLiteral("safari")),
            make(QStringLiteral("Music"), App::music, QStringLiteral("music.note")),
            make(QStringLiteral("Notes"), App::notes, QStringLiteral("note.text")),
            make(QStringLiteral("Terminal"), App::terminal, QStringLiteral("terminal")),
            make(QStringLiteral("Settings"), App::settings, QStringLiteral("slider.horizontal.3")),
    };
}

Shortcut Shortcut::fromJson(const QJsonObject& object) {
    return Shortcut{
            Json::uuidValue(object.value(QStringLiteral("id")), QStringLiteral("id")),
            Json::requiredString(object, QStringLiteral("name")),
            Json::requiredString(object, QStringLiteral("bundleID")),
            Json::requiredString(object, QStringLiteral("symbol")),
            Json::optionalString(object, QStringLiteral("path")),
    };
}

QJsonObject Shortcut::toJson() const {
    QJsonObject object{
            {QStringLiteral("id"), Json::uuidText(id)},
            {QStringLiteral("name"), name},
            {QStringLiteral("bundleID"), bundleID},
            {QStringLiteral("symbol"), symbol},
    };
    if (path)
        object.insert(QStringLiteral("path"), *path);
    return object;
}
