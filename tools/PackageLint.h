#pragma once

#include "packages/WidgetPackage.h"

#include <QList>
#include <QString>

// What in a package will not work as its author expects although the package is valid: things
// the dashboard silently ignores or refuses at run time. Warnings only; they never block an
// install. Found by reading the text of the files, so they are likely, not certain.
struct LintWarning {
    QString file; // relative to the package folder
    int line = 0; // from 1; 0 for the file as a whole
    QString message;

    // "file:line: message", as compilers write it, so editors can jump there.
    QString text() const;
    bool operator==(const LintWarning&) const = default;
};

namespace PackageLint {

// Keys of "manifest.json" that no manifest has, such as a misspelt one, which would be ignored.
// Works on any folder whose manifest is a JSON object, valid package or not.
QList<LintWarning> manifestKeys(const QString& root);

// The HTML, script and style files of a valid package: inline scripts and event attributes,
// references to files the package does not hold, addresses of origins the manifest does not
// declare, and state sections or commands whose permission the manifest does not declare.
QList<LintWarning> webFiles(const WidgetPackage& package, const QString& sdkDirectory);

// The package's "preview.json": a file the library cannot use, and entries it leaves out because
// the manifest's permissions never give the widget them.
QList<LintWarning> sampleState(const WidgetPackage& package);

} // namespace PackageLint
