#pragma once

#include "model/Board.h"
#include "model/WidgetKind.h"
#include "packages/WidgetPackage.h"

#include <QList>
#include <QString>
#include <optional>

class TarnStore;

// What the widget library tab shows, worked out from the registry and the store: the packages
// that pass the filters, the placed instances of those packages, a package's detail rows and
// the texts of installing.
namespace PackageLibrary {

inline const QString allCategories = QStringLiteral("All");

struct Instance {
    Board board;
    int pageNumber; // position among the pages, from 1
    WidgetKind kind;
    WidgetPackage package;
    std::optional<QString> launcherName; // for launcher widgets
    bool operator==(const Instance&) const = default;
};

struct DetailRow {
    QString label;
    QString value;
};

// The packages in registry order, in the category ("All": any) and with the search text in
// their name (not their identity nor their author).
QList<WidgetPackage> matches(const TarnStore& store, const QString& search,
                             const QString& category);
// The selected package among the matches, else the first match.
std::optional<WidgetPackage> selected(const QList<WidgetPackage>& matches,
                                      const std::optional<QString>& selectedID);
// Every section of every page, in page and section order, whose widget is one of the matches.
QList<Instance> instances(const TarnStore& store, const QList<WidgetPackage>& matches);
QList<DetailRow> details(const WidgetPackage& package);

// The install confirmation's message and informative text.
QString installMessage(const WidgetManifest& manifest);
QString installInformative(const WidgetManifest& manifest);
// The folder a user chose to install: its package, or the message to show. Empty `error` and
// a package on success.
struct Candidate {
    std::optional<WidgetPackage> package;
    QString error;
};
Candidate examine(const QString& folder);
// Installs through the registry; empty when done, else the message to show.
QString install(TarnStore& store, const QString& folder);
// The uninstall confirmation's message and informative text: what goes and where to.
QString uninstallMessage(const WidgetPackage& package);
QString uninstallInformative(const WidgetPackage& package);
// Moves the package to the trash through the registry; empty when done, else why it stayed.
QString uninstall(TarnStore& store, const WidgetPackage& package);

} // namespace PackageLibrary
