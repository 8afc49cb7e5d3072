#include "DevSession.h"

#include "model/LogText.h"
#include "model/ThemeColors.h"
#include "model/WidgetError.h"
#include "packages/WidgetPackage.h"
#include "tools/PackageLint.h"
#include "tools/WidgetTool.h"
#include "widgets/web/WebWidget.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

// More than a package may hold: an oversized folder is still watched, so fixing it reloads.
constexpr int watchedPathsLimit = 1000;

// The settings that shape what a widget shows (theme, pages, notes, timers), copied so the page
// looks as on the dashboard while nothing it does reaches the user's own files.
void copyUserState(const QString& from, const QString& to) {
    for (const char* name : {"preferences.json", "focus.json", "focus-copies.json"}) {
        const QString source = QDir(from).filePath(QLatin1String(name));
        if (QFileInfo(source).isFile())
            QFile::copy(source, QDir(to).filePath(QLatin1String(name)));
    }
}

} // namespace

DevSession::DevSession(QString folder, QSize size, TarnStore::Environment environment,
                       const QString& userData, QTextStream& out, QTextStream& err)
    : m_folder(std::move(folder)), m_out(out), m_err(err) {
    copyUserState(userData, m_data.path());
    environment.directory = m_data.path();
    m_store = std::make_unique<TarnStore>(std::move(environment));

    m_window.setAttribute(Qt::WA_StyledBackground);
    m_window.setStyleSheet(
            QStringLiteral("background: %1;").arg(ThemeColors::surface.to<QColor>().name()));
    m_window.setFixedSize(size);
    m_window.setWindowTitle(QStringLiteral("Tablora widget dev"));

    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMilliseconds);
    connect(&m_settle, &QTimer::timeout, this, &DevSession::load);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &DevSession::changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &DevSession::changed);
    load();
}

DevSession::~DevSession() {
    // The page goes before the store it reads.
    delete m_widget;
}

void DevSession::changed(const QString& path) {
    // Files by name; a folder's own change (a file added, removed or renamed) names no file.
    const QString name = QDir(WidgetTool::packageFolder(m_folder)).relativeFilePath(path);
    if (!QFileInfo(path).isDir() && !m_changes.contains(name))
        m_changes.append(name);
    m_changed = true;
    m_settle.start();
}

// Every folder and file of the package: a changed file, and a file replaced by an editor's
// save (a new file renamed over the old one), both show.
void DevSession::watch() {
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    const QString root = WidgetTool::packageFolder(m_folder);
    QStringList paths = {root};
    QDirIterator walk(root,
                      QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                      QDirIterator::Subdirectories);
    while (walk.hasNext() && paths.size() < watchedPathsLimit)
        paths.append(walk.next());
    m_watcher.addPaths(paths);
}

void DevSession::printWarnings(const QString& root) {
    QString warnings = WidgetTool::warningLines(PackageLint::manifestKeys(root));
    try {
        const WidgetPackage package = WidgetPackage::read(root, false);
        warnings += WidgetTool::warningLines(
                PackageLint::webFiles(package, m_store->widgets().sdkDirectory()));
    } catch (const WidgetError&) {
    }
    if (warnings != m_lastWarnings)
        m_err << warnings;
    m_lastWarnings = warnings;
    m_err.flush();
}

void DevSession::load() {
    const QString root = WidgetTool::packageFolder(m_folder);
    watch();
    const QStringList changes = std::exchange(m_changes, {});
    const bool changed = std::exchange(m_changed, false);
    WidgetPackage package;
    try {
        package = WidgetPackage::read(root, false);
    } catch (const WidgetError& error) {
        // The last good page stays until the package is valid again.
        if (error.explained() != m_lastError)
            m_err << LogText::escapeControls(error.explained())
                  << "\n(waiting for the next change)\n";
        m_lastError = error.explained();
        m_err.flush();
        return;
    }
    m_lastError.clear();
    printWarnings(root);

    // A new page on a new profile: nothing the previous one cached or kept is left.
    delete m_widget;
    m_widget = new WebWidget(package, *m_store, std::nullopt, &m_window);
    connect(m_widget, &WebWidget::logged, this, [this](const QString& line) {
        m_out << LogText::entry(line) << '\n';
        m_out.flush();
    });
    m_widget->setGeometry(m_window.rect());
    m_widget->show();
    m_window.setWindowTitle(QStringLiteral("%1 — Tablora widget dev").arg(package.manifest.name));
    if (!changed)
        m_out << "Showing " << package.id() << " from " << LogText::escapeControls(root)
              << " (Ctrl+C to stop)\n";
    else if (changes.isEmpty())
        m_out << "Reloaded after a change in the folder\n";
    else
        m_out << "Reloaded after a change to "
              << LogText::escapeControls(changes.join(QStringLiteral(", "))) << '\n';
    m_out.flush();
    emit loaded();
}
