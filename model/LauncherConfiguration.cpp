#include "LauncherConfiguration.h"

#include "model/JsonCoding.h"
#include "model/WidgetError.h"
#include "model/linux/PlatformTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <algorithm>

LauncherConfiguration LauncherConfiguration::fromJson(const QJsonObject& object) {
    return {Json::requiredString(object, QStringLiteral("application")),
            Json::requiredString(object, QStringLiteral("path"))};
}

QJsonObject LauncherConfiguration::toJson() const {
    return {{QStringLiteral("application"), application}, {QStringLiteral("path"), path}};
}

const QList<Shortcut>& LauncherConfiguration::standard() {
    static const QList<Shortcut> applications = {
            Shortcut::make(PlatformTexts::fileManagerName(), QStringLiteral("com.apple.finder"),
                           QStringLiteral("folder")),
            Shortcut::make(QStringLiteral("Notes"), QStringLiteral("com.apple.Notes"),
                           QStringLiteral("note.text")),
            Shortcut::make(QStringLiteral("Settings"),
                           QStringLiteral("com.apple.systempreferences"),
                           QStringLiteral("slider.horizontal.3")),
            Shortcut::make(QStringLiteral("Terminal"), QStringLiteral("com.apple.Terminal"),
                           QStringLiteral("terminal")),
            Shortcut::make(PlatformTexts::webBrowserName(), QStringLiteral("com.apple.Safari"),
                           QStringLiteral("safari")),
            Shortcut::make(QStringLiteral("Music"), QStringLiteral("com.apple.Music"),
                           QStringLiteral("music.note")),
    };
    return applications;
}

std::optional<Shortcut> LauncherConfiguration::standardApp() const {
    const auto found = std::find_if(standard().begin(), standard().end(),
                                    [&](const Shortcut& s) { return s.bundleID == application; });
    if (found == standard().end())
        return std::nullopt;
    return *found;
}

QString LauncherConfiguration::name(AppLauncher* applications) const {
    if (const auto app = standardApp())
        return app->name;
    if (path.isEmpty())
        return QStringLiteral("Choose an app");
    if (const auto location = standardisedPath(); location && applications) {
        if (const auto named = applications->displayName(*location))
            return *named;
    }
    return QFileInfo(path).completeBaseName();
}

std::optional<QString> LauncherConfiguration::standardisedPath() const {
    QString expanded = path.trimmed();
    if (expanded == QStringLiteral("~") || expanded.startsWith(QStringLiteral("~/")))
        expanded = QDir::homePath() + expanded.mid(1);
    if (!expanded.startsWith(QLatin1Char('/')))
        return std::nullopt;
    return QDir::cleanPath(expanded);
}

Shortcut LauncherConfiguration::shortcut(AppLauncher& applications) const {
    if (const auto app = standardApp())
        return *app;
    const auto standardised = standardisedPath();
    const auto found = standardised ? applications.inspect(*standardised) : std::nullopt;
    if (!found)
        throw WidgetError::invalid(PlatformTexts::invalidApplication());
    return Shortcut{QUuid::createUuid(), found->name, found->identifier, QStringLiteral("app"),
                    *standardised};
}

LauncherConfiguration LauncherConfiguration::exampleDefault(const QString& instanceID) {
    const QString prefix = QStringLiteral("shortcuts@example-v2-2-");
    const LauncherConfiguration finder{QStringLiteral("com.apple.finder"), QString()};
    if (!instanceID.startsWith(prefix))
        return finder;
    bool ok = false;
    const int number = instanceID.mid(prefix.size()).section(QLatin1Char('-'), 0, 0).toInt(&ok, 10);
    if (!ok || number < 2 || number > 7)
        return finder;
    return {standard()[number - 2].bundleID, QString()};
}
