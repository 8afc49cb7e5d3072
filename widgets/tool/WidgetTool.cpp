#include "WidgetTool.h"

#include "model/WidgetError.h"
#include "widgets/WidgetBridge.h"
#include "widgets/WidgetPackage.h"
#include "widgets/WidgetRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTimer>

namespace {

constexpr int success = 0;
constexpr int failure = 1;
constexpr int misuse = 2;

// "com.example.hello-world" -> "Hello World"
QString displayName(const QString& id) {
    QStringList words =
            id.section(QLatin1Char('.'), -1).split(QLatin1Char('-'), Qt::SkipEmptyParts);
    for (QString& word : words)
        word[0] = word[0].toUpper();
    return words.isEmpty() ? id : words.join(QLatin1Char(' '));
}

bool writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

WidgetTool::WidgetTool(QString dataDirectory, QString resourcesDirectory, QTextStream& out,
                       QTextStream& err, EnvironmentFactory environment)
    : m_dataDirectory(std::move(dataDirectory)),
      m_resourcesDirectory(std::move(resourcesDirectory)), m_out(out), m_err(err),
      m_environment(std::move(environment)) {}

QString WidgetTool::usage() {
    return QStringLiteral(
            "Usage: tablora-widget COMMAND [ARGUMENTS]\n"
            "\n"
            "Commands:\n"
            "  validate DIR     Check a widget package folder. Prints \"ok ID NAME\", or why the\n"
            "                   dashboard would refuse it (exit status 1).\n"
            "  install DIR      Check the package and install it into your widget folder,\n"
            "                   replacing an installed package with the same ID in one step.\n"
            "  remove ID        Delete an installed package (packages included with Tablora "
            "stay).\n"
            "  list             Every package the dashboard can show (ID, name, version, included\n"
            "                   or custom), then every folder it had to skip and why.\n"
            "  new ID [DIR]     Write a small working package to start from (default folder:\n"
            "                   ./ID.tarnwidget).\n"
            "  snapshot --permissions P1,P2,... [--instance ID]\n"
            "                   Print the state a widget declaring these permissions receives\n"
            "                   right now, as JSON, from your own data (each integration is\n"
            "                   refreshed once first). With --instance, the state of that widget\n"
            "                   instance instead of the shared one.\n"
            "  --help           Show this text.\n"
            "\n"
            "Installed widgets live in $XDG_DATA_HOME/Tarn/Widgets (~/.local/share/Tarn/Widgets).\n"
            "A running dashboard shows changes after \"Reload Widgets\".\n");
}

int WidgetTool::run(const QStringList& arguments) {
    const QString command = arguments.value(0);
    if (command == QStringLiteral("--help") || command == QStringLiteral("-h") ||
        command == QStringLiteral("help")) {
        m_out << usage();
        return success;
    }
    const qsizetype count = arguments.size();
    if (command == QStringLiteral("validate") && count == 2)
        return validate(arguments[1]);
    if (command == QStringLiteral("install") && count == 2)
        return install(arguments[1]);
    if (command == QStringLiteral("remove") && count == 2)
        return remove(arguments[1]);
    if (command == QStringLiteral("list") && count == 1)
        return list();
    if (command == QStringLiteral("new") && (count == 2 || count == 3))
        return create(arguments[1], arguments.value(2));
    if (command == QStringLiteral("snapshot"))
        return snapshotCommand(arguments.mid(1));
    m_err << usage();
    return misuse;
}

int WidgetTool::validate(const QString& folder) {
    try {
        const WidgetPackage package = WidgetPackage::read(folder, false);
        m_out << "ok " << package.id() << ' ' << package.manifest.name << '\n';
        return success;
    } catch (const WidgetError& error) {
        m_err << error.message() << '\n';
        return failure;
    }
}

int WidgetTool::install(const QString& folder) {
    WidgetRegistry registry(m_dataDirectory, m_resourcesDirectory);
    try {
        const WidgetPackage package = registry.install(folder);
        m_out << "installed " << package.id() << ' ' << package.manifest.version << " ("
              << package.manifest.name << ") at " << package.root << '\n';
        return success;
    } catch (const WidgetError& error) {
        m_err << error.message() << '\n';
        return failure;
    }
}

int WidgetTool::remove(const QString& id) {
    WidgetRegistry registry(m_dataDirectory, m_resourcesDirectory);
    const auto package = registry.package(id);
    if (!package || package->bundled) {
        m_err << (package ? QStringLiteral("%1 is included with Tablora and cannot be removed")
                          : QStringLiteral("No installed widget has the ID %1"))
                         .arg(id)
              << '\n';
        return failure;
    }
    try {
        registry.remove(*package);
        m_out << "removed " << id << '\n';
        return success;
    } catch (const WidgetError& error) {
        m_err << error.message() << '\n';
        return failure;
    }
}

int WidgetTool::list() {
    WidgetRegistry registry(m_dataDirectory, m_resourcesDirectory);
    for (const WidgetPackage& package : registry.packages()) {
        m_out << package.id() << '\t' << package.manifest.name << '\t' << package.manifest.version
              << '\t' << (package.bundled ? "included" : "custom") << '\n';
    }
    for (const QString& error : registry.errors())
        m_out << "error\t" << error << '\n';
    return success;
}

int WidgetTool::create(const QString& id, const QString& folder) {
    const QString target = folder.isEmpty() ? id + QStringLiteral(".tarnwidget") : folder;
    if (QFileInfo(target).exists() || QFileInfo(target).isSymLink()) {
        m_err << target << " already exists\n";
        return failure;
    }
    WidgetManifest manifest;
    manifest.id = id;
    manifest.name = displayName(id);
    manifest.version = QStringLiteral("1.0");
    manifest.author = QString();
    manifest.category = QStringLiteral("General");
    manifest.entry = QStringLiteral("index.html");
    manifest.permissions = {QStringLiteral("focus")};
    manifest.preferredWidth = 400;
    if (!QDir().mkpath(target)) {
        m_err << "The folder " << target << " couldn’t be created.\n";
        return failure;
    }
    bool written = writeFile(QDir(target).filePath(QStringLiteral("manifest.json")),
                             QJsonDocument(manifest.toJson()).toJson(QJsonDocument::Indented));
    for (const char* name : {"index.html", "widget.js", "widget.css"}) {
        QFile source(QStringLiteral(":/widget-template/") + QLatin1String(name));
        written = written && source.open(QIODevice::ReadOnly) &&
                  writeFile(QDir(target).filePath(QLatin1String(name)), source.readAll());
    }
    if (!written) {
        m_err << "The package couldn’t be written to " << target << '\n';
        return failure;
    }
    // The identity rule is the validator's: a bad ID leaves nothing behind.
    try {
        WidgetPackage::read(target, false);
    } catch (const WidgetError& error) {
        QDir(target).removeRecursively();
        m_err << error.message() << '\n';
        return failure;
    }
    m_out << "created " << QDir(target).absolutePath() << '\n';
    return success;
}

// ---- snapshot

namespace {

// The identity of the imaginary widget whose snapshot is printed.
const QString snapshotWidgetID = QStringLiteral("tablora-widget.snapshot");

void pause(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int WidgetTool::snapshotCommand(const QStringList& options) {
    std::optional<QStringList> permissions;
    std::optional<QString> instance;
    for (qsizetype i = 0; i < options.size(); i += 2) {
        if (i + 1 >= options.size()) {
            m_err << usage();
            return misuse;
        }
        if (options[i] == QStringLiteral("--permissions")) {
            permissions = options[i + 1].split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else if (options[i] == QStringLiteral("--instance")) {
            instance = options[i + 1];
        } else {
            m_err << usage();
            return misuse;
        }
    }
    if (!permissions) {
        m_err << usage();
        return misuse;
    }
    return snapshot(*permissions, instance);
}

void WidgetTool::refreshOnce(TarnStore& store, const QStringList& permissions, const QString& key) {
    IntegrationServices& services = store.services();
    const auto has = [&](const char* name) { return permissions.contains(QLatin1String(name)); };
    if (has("metrics") || has("activity")) {
        // Rates need two samples a second apart.
        store.tick(QDateTime::currentDateTimeUtc());
        services.activity().sample();
        pause(1000);
        store.tick(QDateTime::currentDateTimeUtc());
        services.activity().sample();
    }
    if (has("audio")) {
        // The sound server answers on its own time.
        pause(500);
        services.audio().refresh();
    }
    int pending = 0;
    const auto started = [&pending] {
        ++pending;
        return [&pending] { --pending; };
    };
    if (has("ai"))
        services.ai().refresh(started());
    if (has("spotify"))
        services.spotify().refresh(started());
    if (has("activity"))
        services.activity().refreshProcesses(started());
    if (has("calendar"))
        services.organizer().refresh(OrganizerService::Kind::events, started());
    if (has("reminders"))
        services.organizer().refresh(OrganizerService::Kind::reminders, started());
    if (has("automations"))
        services.project().loadShortcuts(started());
    if (has("project"))
        services.projectFor(key).refresh(started());
    QElapsedTimer waited;
    waited.start();
    while (pending > 0 && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

int WidgetTool::snapshot(const QStringList& permissions, const std::optional<QString>& instance) {
    for (const QString& permission : permissions) {
        if (!WidgetManifest::supportedPermissions().contains(permission)) {
            m_err << "Unsupported widget permission: " << permission << '\n';
            return failure;
        }
    }
    TarnStore::Environment environment = m_environment ? m_environment() : TarnStore::Environment();
    environment.directory = m_dataDirectory;
    environment.resources = m_resourcesDirectory;
    environment.startTimer = false;
    TarnStore store(std::move(environment));
    WidgetManifest manifest;
    manifest.id = snapshotWidgetID;
    manifest.permissions = permissions;
    refreshOnce(store, permissions, WidgetBridge::instanceKey(manifest, instance));
    const QJsonObject state = WidgetBridge::snapshot(manifest, store, instance);
    m_out << QJsonDocument(state).toJson(QJsonDocument::Compact) << '\n';
    return success;
}
