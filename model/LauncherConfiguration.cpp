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
    // The default shortcuts' applications in the picker's order, under this desktop's names.
    static const QList<Shortcut> applications = [] {
        namespace App = StandardApplication;
        const QList<Shortcut> shortcuts = Shortcut::standard();
        QList<Shortcut> picked;
        for (const QString& bundleID : {App::fileManager, App::notes, App::settings, App::terminal,
                                        App::webBrowser, App::music}) {
            Shortcut app = *std::find_if(shortcuts.begin(), shortcuts.end(),
                                         [&](const Shortcut& s) { return s.bundleID == bundleID; });
            if (bundleID == App::fileManager)
                app.name = PlatformTexts::fileManagerName();
            else if (bundleID == App::webBrowser)
                app.name = PlatformTexts::webBrowserName();
            picked.append(app);
        }
        return picked;
    }();
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
    const LauncherConfiguration finder{StandardApplication::fileManager, QString()};
    if (!instanceID.startsWith(prefix))
        return finder;
    bool ok = false;
    const int number = instanceID.mid(prefix.size()).section(QLatin1Char('-'), 0, 0).toInt(&ok, 10);
    if (!ok || number < 2 || number > 7)
        return finder;
    return {standard()[number - 2].bundleID, QString()};
}
