#include "WidgetRegistry.h"

#include "model/LogText.h"
#include "model/WidgetError.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUuid>
#include <algorithm>

namespace {

const QString packageSuffix = QStringLiteral(".tarnwidget");

QString cleaned(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

WidgetRegistry::WidgetRegistry(const QString& directory, const QString& resources,
                               std::shared_ptr<PackageFolders> folders, QObject* parent)
    : QObject(parent), m_folders(std::move(folders)),
      m_installedDirectory(QDir(directory).filePath(QStringLiteral("Widgets"))),
      m_bundledDirectory(QDir(resources).filePath(QStringLiteral("Widgets"))),
      m_sdkDirectory(QDir(resources).filePath(QStringLiteral("WidgetSDK"))) {
    QDir().mkpath(m_installedDirectory);
    reload();
}

void WidgetRegistry::scan(const QString& folder, bool bundled, QMap<QString, WidgetPackage>& found,
                          QStringList& errors) const {
    // A missing or unreadable folder simply has no packages.
    QStringList entries = QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(entries.begin(), entries.end());
    QSet<QString> seen;
    for (const QString& name : entries) {
        if (!name.endsWith(packageSuffix) || name.size() == packageSuffix.size())
            continue;
        try {
            const WidgetPackage package = WidgetPackage::read(QDir(folder).filePath(name), bundled);
            if (seen.contains(package.id()))
                throw WidgetError::invalid(QStringLiteral("Duplicate widget ID ") + package.id());
            seen.insert(package.id());
            found.insert(package.id(), package);
        } catch (const WidgetError& error) {
            // What to fix, when known, goes on a second line: the first stays the fixed text.
            // The folder's name and what its manifest said reach logs and terminals: their
            // control characters are escaped.
            errors.append(LogText::escapeControls(name) + QStringLiteral(": ") +
                          LogText::escapeControls(error.message()) +
                          (error.detail().isEmpty()
                                   ? QString()
                                   : QLatin1Char('\n') + LogText::escapeControls(error.detail())));
        }
    }
}

void WidgetRegistry::cleanStaleInstallFolders() const {
    const QDir folder(m_installedDirectory);
    const QDateTime staleBefore = QDateTime::currentDateTime().addSecs(-staleSeconds);
    const auto stale = [&](const QString& pattern) {
        QStringList names;
        for (const QFileInfo& entry : folder.entryInfoList({pattern}, QDir::Dirs | QDir::Hidden))
            if (!entry.isSymLink() && entry.lastModified() < staleBefore)
                names.append(entry.filePath());
        return names;
    };
    for (const QString& staging : stale(QStringLiteral(".staging-*")))
        m_folders->remove(staging);
    for (const QString& backup : stale(QStringLiteral(".backup-*"))) {
        try {
            const QString id = WidgetPackage::read(backup, false).id();
            const QString destination = folder.filePath(id + packageSuffix);
            if (QFileInfo::exists(destination) || QFileInfo(destination).isSymLink())
                m_folders->remove(backup);
            else
                m_folders->move(backup, destination);
        } catch (const WidgetError&) {
            // Not a package any more: left alone rather than deleted unread.
        }
    }
}

void WidgetRegistry::reload() {
    cleanStaleInstallFolders();
    QMap<QString, WidgetPackage> found;
    QStringList errors;
    scan(m_bundledDirectory, true, found, errors);
    m_includedNames.clear();
    for (const WidgetPackage& package : found)
        m_includedNames.insert(package.id(), package.manifest.name);
    scan(m_installedDirectory, false, found, errors);
    m_packages = found.values();
    std::stable_sort(m_packages.begin(), m_packages.end(),
                     [](const WidgetPackage& a, const WidgetPackage& b) {
                         return a.manifest.name < b.manifest.name;
                     });
    m_positions.clear();
    for (qsizetype index = 0; index < m_packages.size(); ++index)
        m_positions.insert(m_packages[index].id(), index);
    m_errors = errors;
    ++m_revision;
    emit packagesChanged();
    emit errorsChanged();
    emit revisionChanged();
}

WidgetPackage WidgetRegistry::install(const QString& source) {
    const WidgetPackage validated = WidgetPackage::read(source, false);
    const QString destination = QDir(m_installedDirectory).filePath(validated.id() + packageSuffix);
    // The installed folder itself was picked: there is nothing to copy.
    if (cleaned(source) == cleaned(destination)) {
        reload();
        return validated;
    }
    QDir().mkpath(m_installedDirectory);
    const QString staging = QDir(m_installedDirectory)
                                    .filePath(QStringLiteral(".staging-") +
                                              QUuid::createUuid().toString(QUuid::WithoutBraces));
    const QString backup = QDir(m_installedDirectory)
                                   .filePath(QStringLiteral(".backup-") +
                                             QUuid::createUuid().toString(QUuid::WithoutBraces));
    // Whatever happens, neither temporary folder outlives the install.
    const auto cleanUp = [&] {
        if (QFileInfo::exists(staging))
            m_folders->remove(staging);
        if (QFileInfo::exists(backup))
            m_folders->remove(backup);
    };
    const auto failWith = [&](const QString& message, const QString& detail = {}) {
        cleanUp();
        throw WidgetError::invalid(message, detail);
    };

    if (const auto error = m_folders->copy(source, staging))
        failWith(*error);
    WidgetPackage staged;
    try {
        staged = WidgetPackage::read(staging, false);
    } catch (const WidgetError& error) {
        failWith(error.message(), error.detail());
    }
    const bool replacing = QFileInfo::exists(destination) || QFileInfo(destination).isSymLink();
    if (replacing) {
        if (const auto error = m_folders->move(destination, backup))
            failWith(*error);
    }
    if (const auto error = m_folders->move(staging, destination)) {
        // Put the previous package back, so there is always one in place.
        if (replacing)
            m_folders->move(backup, destination);
        failWith(*error);
    }
    cleanUp();
    reload();
    return WidgetPackage{staged.manifest, destination, false};
}

QString WidgetRegistry::remove(const WidgetPackage& package) {
    if (package.bundled)
        return {};
    if (cleaned(QFileInfo(package.root).path()) != cleaned(m_installedDirectory))
        return {};
    // The folder may be an author's only copy: it goes where it can be restored from.
    QString trashed;
    if (const auto error = m_folders->moveToTrash(package.root, trashed))
        throw WidgetError::invalid(
                QStringLiteral(
                        "%1 is still installed: its folder couldn’t be moved to the Trash (%2).")
                        .arg(package.manifest.name, *error));
    reload();
    return trashed;
}

std::optional<WidgetPackage> WidgetRegistry::package(const WidgetKind& kind) const {
    return package(kind.packageID());
}

std::optional<WidgetPackage> WidgetRegistry::package(const QString& id) const {
    const auto position = m_positions.constFind(id);
    if (position == m_positions.cend())
        return std::nullopt;
    return m_packages[*position];
}

std::optional<QString> WidgetRegistry::replacementNotice(const QString& id) const {
    const auto included = m_includedNames.constFind(id);
    if (included == m_includedNames.cend())
        return std::nullopt;
    return QStringLiteral("It replaces the included widget “%1” (%2).").arg(*included, id);
}

QStringList WidgetRegistry::categories() const {
    QStringList names = {QStringLiteral("General"), QStringLiteral("Audio"),
                         QStringLiteral("Monitoring"), QStringLiteral("System")};
    for (const WidgetPackage& package : m_packages) {
        const QString name = package.manifest.categoryName();
        if (!names.contains(name))
            names.append(name);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    return names;
}
