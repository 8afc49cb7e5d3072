#include "WidgetTool.h"

#include "desktop/CommandLine.h"
#include "model/LogText.h"
#include "model/WidgetError.h"
#include "packages/WidgetPackage.h"
#include "packages/WidgetRegistry.h"
#include "tools/ToolArguments.h"
#include "widgets/WidgetBridge.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimer>

namespace {

constexpr int success = 0;
constexpr int failure = 1;

// What a package or its folder says, as a terminal may show it: its control characters, which
// could drive the terminal or forge a line of output, are escaped.
QString shown(const QString& untrusted) {
    return LogText::escapeControls(untrusted);
}

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

QByteArray templateFile(const QString& name) {
    QFile source(QStringLiteral(":/widget-template/") + name);
    return source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
}

// A path as one word a shell takes back as it is.
QString shellWord(const QString& path) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./@%+=:,-]+$"));
    if (plain.match(path).hasMatch())
        return path;
    return QLatin1Char('\'') + QString(path).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

// "page 2", "pages 2 and 5", "pages 1, 2 and 5".
QString pageList(const QList<int>& pages) {
    QStringList numbers;
    for (const int page : pages)
        numbers.append(QString::number(page));
    if (numbers.size() == 1)
        return QStringLiteral("page ") + numbers[0];
    const QString last = numbers.takeLast();
    return QStringLiteral("pages %1 and %2").arg(numbers.join(QStringLiteral(", ")), last);
}

bool isHelp(const QString& argument) {
    return argument == QStringLiteral("--help") || argument == QStringLiteral("-h");
}

} // namespace

WidgetTool::WidgetTool(QString dataDirectory, QString resourcesDirectory, QTextStream& out,
                       QTextStream& err, EnvironmentFactory environment, Options options)
    : m_dataDirectory(std::move(dataDirectory)),
      m_resourcesDirectory(std::move(resourcesDirectory)), m_out(out), m_err(err),
      m_environment(std::move(environment)), m_options(std::move(options)) {}

QString WidgetTool::usage() {
    return QStringLiteral(
            "Usage: tablora-widget COMMAND [ARGUMENTS]\n"
            "\n"
            "Commands:\n"
            "  new ID [DIR]     Write a small working package to start from (default folder:\n"
            "                   ./ID.tarnwidget).\n"
            "  validate DIR     Check a widget package folder. Prints \"ok ID NAME\", or why the\n"
            "                   dashboard would refuse it and what to fix (exit status 1); then\n"
            "                   warnings about what would not work as meant (exit status 0).\n"
            "  dev DIR [--size WIDTHxHEIGHT]\n"
            "                   Show the package in a window of its own with the live state, as\n"
            "                   the dashboard would (default size 364x502), reload it whenever a\n"
            "                   file in DIR changes and print its console, until Ctrl+C. Installs\n"
            "                   nothing and leaves a running dashboard alone.\n"
            "  install DIR      Check the package and install it into your widget folder,\n"
            "                   replacing an installed package with the same ID in one step;\n"
            "                   one with the ID of an included widget replaces that widget.\n"
            "  remove ID        Move an installed package's folder to the Trash, where it can\n"
            "                   be restored (packages included with Tablora stay).\n"
            "  list             Every package the dashboard can show (ID, name, version, included\n"
            "                   or custom), then every folder it had to skip and why.\n"
            "  snapshot --permissions P1,P2,... [--instance ID] [--compact]\n"
            "                   Print the state a widget declaring these permissions receives\n"
            "                   right now, from your own data (each integration is refreshed once\n"
            "                   first); indented on a terminal, on one line with --compact. With\n"
            "                   --instance, the state of that widget on your pages.\n"
            "\n"
            "  --help           Show this text.\n"
            "  --version        Show the version.\n"
            "\n"
            "Installed widgets live in $XDG_DATA_HOME/Tarn/Widgets (~/.local/share/Tarn/Widgets).\n"
            "install and remove tell a running dashboard to read its widgets again.\n"
            "Exit status: 0 done, 1 the command failed, 2 a wrong command line.\n");
}

int WidgetTool::misuse(const QString& error) {
    m_err << CommandLine::misuse(QLatin1String(program), error);
    return CommandLine::misuseStatus;
}

QString WidgetTool::packageFolder(const QString& given) {
    const QFileInfo folder(given);
    const QString real = folder.canonicalFilePath();
    return real.isEmpty() ? given : real;
}

QString WidgetTool::warningLines(const QList<LintWarning>& warnings) {
    QString lines;
    for (const LintWarning& warning : warnings)
        lines += QStringLiteral("warning: ") + shown(warning.text()) + QLatin1Char('\n');
    return lines;
}

QString WidgetTool::sdkDirectory() const {
    return QDir(m_resourcesDirectory).filePath(QStringLiteral("WidgetSDK"));
}

std::variant<WidgetTool::DevRequest, QString> WidgetTool::devRequest(const QStringList& arguments) {
    const auto parsed = ToolArguments::parse(arguments, {QStringLiteral("--size")}, {});
    if (const QString* error = std::get_if<QString>(&parsed))
        return *error;
    const ToolArguments& given = std::get<ToolArguments>(parsed);
    if (given.positional.isEmpty())
        return QStringLiteral("dev needs a package folder");
    if (given.positional.size() > 1)
        return QStringLiteral("unexpected argument '%1'").arg(given.positional[1]);
    DevRequest request;
    request.folder = given.positional[0];
    if (const auto error = readToolSize(given, request.size))
        return *error;
    return request;
}

int WidgetTool::run(const QStringList& arguments) {
    if (arguments.isEmpty())
        return misuse(QStringLiteral("missing command"));
    const QString command = arguments[0];
    if (command == QStringLiteral("help") ||
        std::any_of(arguments.begin(), arguments.end(), isHelp)) {
        m_out << usage();
        return success;
    }
    if (command == QStringLiteral("--version")) {
        m_out << CommandLine::versionOf(QLatin1String(program)) << '\n';
        return success;
    }
    if (command == QStringLiteral("snapshot"))
        return snapshot(arguments.mid(1));
    if (command == QStringLiteral("dev")) {
        const auto request = devRequest(arguments.mid(1));
        if (const QString* error = std::get_if<QString>(&request))
            return misuse(*error);
        m_err << "tablora-widget: dev opens a window; run it from tablora-widget itself\n";
        return failure;
    }
    struct Shape {
        const char* name;
        int least;
        int most;
        const char* missing;
    };
    static const Shape shapes[] = {
            {"validate", 1, 1, "validate needs a package folder"},
            {"install", 1, 1, "install needs a package folder"},
            {"remove", 1, 1, "remove needs the ID of an installed widget"},
            {"list", 0, 0, ""},
            {"new", 1, 2, "new needs an ID, such as com.example.hello"},
    };
    const auto shape = std::find_if(std::begin(shapes), std::end(shapes), [&](const Shape& s) {
        return command == QLatin1String(s.name);
    });
    if (shape == std::end(shapes))
        return misuse(command.startsWith(QLatin1Char('-'))
                              ? QStringLiteral("unknown option '%1'").arg(command)
                              : QStringLiteral("unknown command '%1'").arg(command));
    const auto parsed = ToolArguments::parse(arguments.mid(1), {}, {});
    if (const QString* error = std::get_if<QString>(&parsed))
        return misuse(*error);
    const QStringList& given = std::get<ToolArguments>(parsed).positional;
    if (given.size() < shape->least)
        return misuse(QLatin1String(shape->missing));
    if (given.size() > shape->most)
        return misuse(QStringLiteral("unexpected argument '%1'").arg(given[shape->most]));
    if (command == QStringLiteral("validate"))
        return validate(given[0]);
    if (command == QStringLiteral("install"))
        return install(given[0]);
    if (command == QStringLiteral("remove"))
        return remove(given[0]);
    if (command == QStringLiteral("list"))
        return list();
    return create(given[0], given.value(1));
}

int WidgetTool::validate(const QString& given) {
    const QString folder = packageFolder(given);
    const QList<LintWarning> keys = PackageLint::manifestKeys(folder);
    WidgetPackage package;
    try {
        package = WidgetPackage::read(folder, false);
    } catch (const WidgetError& error) {
        m_err << shown(error.explained()) << '\n' << warningLines(keys);
        return failure;
    }
    m_out << "ok " << package.id() << ' ' << shown(package.manifest.name) << '\n';
    m_err << warningLines(keys + PackageLint::webFiles(package, sdkDirectory()) +
                          PackageLint::sampleState(package));
    return success;
}

int WidgetTool::install(const QString& given) {
    const QString folder = packageFolder(given);
    const QList<LintWarning> keys = PackageLint::manifestKeys(folder);
    WidgetRegistry registry(m_dataDirectory, m_resourcesDirectory);
    try {
        const WidgetPackage package = registry.install(folder);
        m_out << "installed " << package.id() << ' ' << shown(package.manifest.version) << " ("
              << shown(package.manifest.name) << ") at " << shown(package.root) << '\n';
        if (const auto notice = registry.replacementNotice(package.id()))
            m_out << shown(*notice) << '\n';
        rescanDashboard();
        m_out << "To place it: in the settings’ Widgets tab (tablora --settings widgets), choose "
              << shown(package.manifest.name) << ", then “Add to Page…”.\n";
        m_err << warningLines(keys + PackageLint::webFiles(package, sdkDirectory()));
        return success;
    } catch (const WidgetError& error) {
        m_err << shown(error.explained()) << '\n' << warningLines(keys);
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
    const QList<int> pages = pagesHolding(package->id());
    try {
        const QString trashed = registry.remove(*package);
        m_out << "removed " << id << ": its folder is in the Trash, at " << shown(trashed) << '\n';
        if (!pages.isEmpty())
            m_out << "It is placed on " << pageList(pages)
                  << ": those tiles show “Widget unavailable” until you install it again or "
                     "replace it in the settings’ Layouts tab.\n";
        rescanDashboard();
        return success;
    } catch (const WidgetError& error) {
        m_err << shown(error.explained()) << '\n';
        return failure;
    }
}

QList<int> WidgetTool::pagesHolding(const QString& packageID) const {
    TarnStore::Environment environment;
    environment.directory = m_dataDirectory;
    environment.resources = m_resourcesDirectory;
    environment.startTimer = false;
    environment.readOnly = true;
    const TarnStore store(std::move(environment));
    QList<int> pages;
    const QList<Board> boards = store.pages();
    for (int index = 0; index < boards.size(); ++index) {
        const QList<WidgetKind> widgets = store.layout(boards[index]).widgets();
        if (std::any_of(widgets.begin(), widgets.end(),
                        [&](const WidgetKind& widget) { return widget.packageID() == packageID; }))
            pages.append(index + 1);
    }
    return pages;
}

void WidgetTool::rescanDashboard() {
    if (!m_options.rescanDashboard)
        return;
    const DashboardRescan rescan = m_options.rescanDashboard();
    switch (rescan.outcome) {
    case DashboardRescan::Outcome::done:
        m_out << "The running dashboard reloaded its widgets.\n";
        break;
    case DashboardRescan::Outcome::notRunning:
        m_out << "Tablora is not running; it reads the widgets when it starts.\n";
        break;
    case DashboardRescan::Outcome::failed:
        m_err << "The running dashboard couldn’t be told (" << shown(rescan.reason)
              << "): press Ctrl+R on it to reload its widgets.\n";
        break;
    }
}

int WidgetTool::list() {
    WidgetRegistry registry(m_dataDirectory, m_resourcesDirectory);
    for (const WidgetPackage& package : registry.packages()) {
        m_out << package.id() << '\t' << shown(package.manifest.name) << '\t'
              << shown(package.manifest.version) << '\t'
              << (package.bundled ? "included" : "custom") << '\n';
    }
    // One line per skipped folder; what to fix follows on indented lines. The registry has
    // escaped what the folder and its manifest say.
    for (const QString& error : registry.errors())
        m_out << "error\t" << QString(error).replace(QLatin1Char('\n'), QStringLiteral("\n\t"))
              << '\n';
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
    manifest.author = m_options.author;
    manifest.category = QStringLiteral("General");
    manifest.entry = QStringLiteral("index.html");
    manifest.permissions = {QStringLiteral("focus")};
    manifest.preferredWidth = 400;
    if (!QDir().mkpath(target)) {
        m_err << "The folder " << target << " couldn’t be created.\n";
        return failure;
    }
    QByteArray page = templateFile(QStringLiteral("index.html"));
    page.replace("{{name}}", manifest.name.toHtmlEscaped().toUtf8());
    bool written = writeFile(QDir(target).filePath(QStringLiteral("manifest.json")),
                             QJsonDocument(manifest.toJson()).toJson(QJsonDocument::Indented)) &&
                   writeFile(QDir(target).filePath(QStringLiteral("index.html")), page);
    for (const QString& name : {QStringLiteral("widget.js"), QStringLiteral("widget.css")})
        written = written && writeFile(QDir(target).filePath(name), templateFile(name));
    if (!written) {
        m_err << "The package couldn’t be written to " << target << '\n';
        return failure;
    }
    // The identity rule is the validator's: a bad ID leaves nothing behind.
    try {
        WidgetPackage::read(target, false);
    } catch (const WidgetError& error) {
        QDir(target).removeRecursively();
        m_err << shown(error.explained()) << '\n';
        return failure;
    }
    const QString word = shown(shellWord(target));
    m_out << "created " << QDir(target).absolutePath() << '\n'
          << "Next: edit its index.html, widget.js and widget.css, then\n"
          << "  tablora-widget dev " << word << "       # see it live while you edit\n"
          << "  tablora-widget install " << word << "   # put it in the dashboard's library\n";
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

int WidgetTool::snapshot(const QStringList& arguments) {
    const auto parsed = ToolArguments::parse(
            arguments, {QStringLiteral("--permissions"), QStringLiteral("--instance")},
            {QStringLiteral("--compact")});
    if (const QString* error = std::get_if<QString>(&parsed))
        return misuse(*error);
    const ToolArguments& given = std::get<ToolArguments>(parsed);
    if (!given.positional.isEmpty())
        return misuse(QStringLiteral("unexpected argument '%1'").arg(given.positional[0]));
    const auto permissionList = given.value(QStringLiteral("--permissions"));
    if (!permissionList)
        return misuse(QStringLiteral("snapshot needs --permissions, such as --permissions "
                                     "metrics,focus"));
    const QStringList permissions = permissionList->split(QLatin1Char(','), Qt::SkipEmptyParts);
    const std::optional<QString> instance = given.value(QStringLiteral("--instance"));
    // The validator's own rule and words.
    WidgetManifest manifest;
    manifest.id = snapshotWidgetID;
    manifest.permissions = permissions;
    try {
        WidgetPackage::checkPermissions(manifest);
    } catch (const WidgetError& error) {
        m_err << shown(error.explained()) << '\n';
        return failure;
    }

    TarnStore::Environment environment = m_environment ? m_environment() : TarnStore::Environment();
    environment.directory = m_dataDirectory;
    environment.resources = m_resourcesDirectory;
    environment.startTimer = false;
    environment.readOnly = true;
    TarnStore store(std::move(environment));
    if (instance) {
        QStringList placed;
        for (const Board board : store.pages()) {
            for (const WidgetKind& kind : store.layout(board).widgets()) {
                if (!placed.contains(kind.rawValue()))
                    placed.append(kind.rawValue());
            }
        }
        if (!placed.contains(*instance)) {
            m_err << "No widget on your pages has the instance ID " << *instance << ".\n"
                  << (placed.isEmpty()
                              ? QStringLiteral("Your pages have no widgets.\n")
                              : QStringLiteral("The instances on your pages:\n  ") +
                                        placed.join(QStringLiteral("\n  ")) + QLatin1Char('\n'));
            return failure;
        }
    }
    refreshOnce(store, permissions, WidgetBridge::instanceKey(manifest, instance));
    QJsonObject state = WidgetBridge::snapshot(manifest, store, instance);
    // The dashboard adds it: true only on the touchscreen with direct touch on.
    state.insert(QStringLiteral("touchMode"), false);
    const bool indented = m_options.terminal && !given.has(QStringLiteral("--compact"));
    const QByteArray text = QJsonDocument(state).toJson(indented ? QJsonDocument::Indented
                                                                 : QJsonDocument::Compact);
    m_out << text;
    if (!text.endsWith('\n'))
        m_out << '\n';
    return success;
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
