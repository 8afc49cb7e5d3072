#include "PackageLibrary.h"

#include "model/WidgetError.h"
#include "store/TarnStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace PackageLibrary {

namespace {

const QString launcherPackage = QStringLiteral("shortcuts");

// A folder that went away after it was chosen: say so rather than how reading it failed.
QString vanished(const QString& folder) {
    return QStringLiteral("“%1” is no longer there. Choose the folder again.")
            .arg(QFileInfo(folder).fileName());
}

} // namespace

QList<WidgetPackage> matches(const TarnStore& store, const QString& search,
                             const QString& category) {
    QList<WidgetPackage> found;
    for (const WidgetPackage& package : store.widgets().packages()) {
        if (category != allCategories && package.manifest.categoryName() != category)
            continue;
        if (!search.isEmpty() && !package.manifest.name.contains(search, Qt::CaseInsensitive))
            continue;
        found.append(package);
    }
    return found;
}

std::optional<WidgetPackage> selected(const QList<WidgetPackage>& matches,
                                      const std::optional<QString>& selectedID) {
    const auto found = std::find_if(matches.begin(), matches.end(), [&](const WidgetPackage& p) {
        return selectedID && p.id() == *selectedID;
    });
    if (found != matches.end())
        return *found;
    if (matches.isEmpty())
        return std::nullopt;
    return matches.first();
}

QList<Instance> instances(const TarnStore& store, const QList<WidgetPackage>& matches) {
    QList<Instance> found;
    QSet<QString> matched;
    for (const WidgetPackage& package : matches)
        matched.insert(package.id());
    const QList<Board> pages = store.pages();
    for (int index = 0; index < pages.size(); ++index) {
        for (const WidgetSection& section : store.layout(pages[index]).sections) {
            if (!section.widget)
                continue;
            const auto package = store.widgets().package(*section.widget);
            if (!package || !matched.contains(package->id()))
                continue;
            Instance instance{pages[index], index + 1, *section.widget, *package, std::nullopt};
            if (section.widget->packageID() == launcherPackage) {
                const QString key = section.widget->rawValue();
                const auto& launchers = store.preferences().launchers;
                const LauncherConfiguration launcher =
                        launchers.contains(key) ? launchers.value(key)
                                                : LauncherConfiguration::exampleDefault(key);
                instance.launcherName = launcher.name(store.launcher().get());
            }
            found.append(instance);
        }
    }
    return found;
}

QList<DetailRow> details(const WidgetPackage& package) {
    const WidgetManifest& manifest = package.manifest;
    QList<DetailRow> rows = {
            {QStringLiteral("Developer"), manifest.author},
            {QStringLiteral("Version"), manifest.version},
            {QStringLiteral("Source"), package.bundled ? QStringLiteral("Included with Tablora")
                                                       : QStringLiteral("Custom widget")},
            {QStringLiteral("Access"), manifest.permissions.isEmpty()
                                               ? QStringLiteral("Clock and theme only")
                                               : manifest.permissions.join(QStringLiteral(", "))},
    };
    if (manifest.networkOrigins && !manifest.networkOrigins->isEmpty())
        rows.append({QStringLiteral("Network"), manifest.networkOrigins->join(QLatin1Char('\n'))});
    return rows;
}

QString installMessage(const WidgetManifest& manifest) {
    return QStringLiteral("Install ") + manifest.name + QStringLiteral("?");
}

QString installInformative(const WidgetManifest& manifest) {
    const QString access = manifest.permissions.isEmpty()
                                   ? QStringLiteral("clock and theme only")
                                   : manifest.permissions.join(QStringLiteral(", "));
    const QString network = manifest.networkOrigins && !manifest.networkOrigins->isEmpty()
                                    ? manifest.networkOrigins->join(QStringLiteral(", "))
                                    : QStringLiteral("none");
    return QStringLiteral("By ") + manifest.author + QStringLiteral(", version ") +
           manifest.version + QStringLiteral(".\n\nRequested access: ") + access +
           QStringLiteral(".\n\nNetwork: ") + network +
           QStringLiteral(".\n\nAn installed package with the same ID will be replaced.");
}

QString uninstallMessage(const WidgetPackage& package) {
    return QStringLiteral("Move %1 to the Trash?").arg(package.manifest.name);
}

QString uninstallInformative(const WidgetPackage& package) {
    return QStringLiteral("Its folder “%1” goes to the Trash, where you can restore it. Tiles "
                          "that show it read “Widget unavailable” until it is installed again.")
            .arg(QDir::toNativeSeparators(package.root));
}

Candidate examine(const QString& folder) {
    if (QFileInfo(folder).suffix() != QStringLiteral("tarnwidget"))
        return {std::nullopt, QStringLiteral("Choose a .tarnwidget folder")};
    if (!QFileInfo::exists(folder))
        return {std::nullopt, vanished(folder)};
    try {
        return {WidgetPackage::read(folder, false), QString()};
    } catch (const WidgetError& error) {
        return {std::nullopt, error.message()};
    }
}

QString install(TarnStore& store, const QString& folder) {
    if (!QFileInfo::exists(folder))
        return vanished(folder);
    try {
        store.widgets().install(folder);
        return QString();
    } catch (const WidgetError& error) {
        return QFileInfo::exists(folder) ? error.message() : vanished(folder);
    }
}

QString uninstall(TarnStore& store, const WidgetPackage& package) {
    try {
        store.widgets().remove(package);
        return QString();
    } catch (const WidgetError& error) {
        return error.message();
    }
}

} // namespace PackageLibrary
