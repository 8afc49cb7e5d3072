#pragma once

#include "packages/WidgetManifest.h"

#include <QString>

// A validated package folder. Its identity is the manifest's id.
struct WidgetPackage {
    static constexpr int maximumEntries = 250;
    static constexpr qint64 maximumBytes = 10000000;
    static constexpr qint64 maximumManifestBytes = 16384;

    WidgetManifest manifest;
    QString root;         // the folder as it was given, not resolved
    bool bundled = false; // shipped with the application rather than installed by the user

    const QString& id() const { return manifest.id; }

    // Validates the folder. Never runs anything from it and reads only metadata and the
    // manifest. Throws WidgetError with the first failure: a rule's message, or the file
    // system's or the JSON reader's description.
    static WidgetPackage read(const QString& root, bool bundled);

    // The permissions rule alone: every name must be a supported permission. Throws WidgetError.
    static void checkPermissions(const WidgetManifest& manifest);

    // The absolute location of a relative path inside `root`: no empty or absolute path, no "..",
    // no backslash, no symbolic link on the way, strictly inside the folder. The file need not
    // exist. Throws WidgetError.
    static QString resource(const QString& path, const QString& root);

    bool operator==(const WidgetPackage&) const = default;
};

// True when the text is a single HTTPS origin such as "https://example.org:8443".
bool isExplicitHttpsOrigin(const QString& text);

// User-perceived characters, not UTF-16 units.
qsizetype characterCount(const QString& text);
