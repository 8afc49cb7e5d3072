#pragma once

#include "model/WidgetKind.h"
#include "packages/PackageFolders.h"
#include "packages/WidgetPackage.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

// Every widget package the application can show: the included ones from the resources'
// "Widgets" folder and the custom ones from the data folder's "Widgets", where a custom package
// takes the place of an included one with the same identity.
class WidgetRegistry : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<WidgetPackage> packages READ packages NOTIFY packagesChanged)
    Q_PROPERTY(QStringList errors READ errors NOTIFY errorsChanged)
    Q_PROPERTY(int revision READ revision NOTIFY revisionChanged)

public:
    // An install's temporary folder this old belongs to an install that was ended midway; a
    // younger one may belong to an install running now in another process.
    static constexpr qint64 staleSeconds = 600;

    // `directory` is the application's data folder, `resources` its resources folder.
    WidgetRegistry(const QString& directory, const QString& resources,
                   std::shared_ptr<PackageFolders> folders = std::make_shared<PackageFolders>(),
                   QObject* parent = nullptr);

    const QList<WidgetPackage>& packages() const { return m_packages; }
    const QStringList& errors() const { return m_errors; }
    int revision() const { return m_revision; }
    const QString& installedDirectory() const { return m_installedDirectory; }
    const QString& bundledDirectory() const { return m_bundledDirectory; }
    const QString& sdkDirectory() const { return m_sdkDirectory; }

    void reload();
    // Validates, copies and swaps the folder in atomically under its identity. Throws
    // WidgetError with the validation or file system failure; the previous package stays.
    WidgetPackage install(const QString& source);
    // Moves a custom package's folder to the desktop's trash and returns where it went; included
    // packages and folders outside the custom folder stay (and the result is empty). Throws
    // WidgetError when the folder cannot go to the trash: the package then stays installed.
    QString remove(const WidgetPackage& package);
    std::optional<WidgetPackage> package(const WidgetKind& kind) const;
    std::optional<WidgetPackage> package(const QString& id) const;
    // The library's category filters.
    QStringList categories() const;
    // What to tell the user before installing a package whose identity is an included widget's:
    // the installed package replaces it. Nothing for any other identity.
    std::optional<QString> replacementNotice(const QString& id) const;

signals:
    void packagesChanged();
    void errorsChanged();
    void revisionChanged();

private:
    void scan(const QString& folder, bool bundled, QMap<QString, WidgetPackage>& found,
              QStringList& errors) const;
    // Removes stale staging copies, and puts a stale backup back where its package is missing.
    void cleanStaleInstallFolders() const;

    std::shared_ptr<PackageFolders> m_folders;
    QString m_installedDirectory;
    QString m_bundledDirectory;
    QString m_sdkDirectory;
    QList<WidgetPackage> m_packages;
    QHash<QString, qsizetype> m_positions;  // in m_packages, by identity
    QMap<QString, QString> m_includedNames; // by identity
    QStringList m_errors;
    int m_revision = 0;
};
