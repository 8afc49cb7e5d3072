#pragma once

#include "store/TarnStore.h"
#include "tools/PackageLint.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <variant>

// What came of asking the running dashboard to read the packages again.
struct DashboardRescan {
    enum class Outcome { done, notRunning, failed };
    Outcome outcome = Outcome::notRunning;
    QString reason; // failed: why, in a few words
};

// What the tool takes from the user's session.
struct WidgetToolOptions {
    QString author;        // written into new packages: the user's name
    bool terminal = false; // standard output is a terminal: JSON is printed for reading
    // Asks a dashboard that runs on the data folder to read the packages again, after install
    // and remove; none: nobody is asked.
    std::function<DashboardRescan()> rescanDashboard = {};
};

// The command-line tool for widget authors and users: validate, install, remove, list and
// create packages, against the same folders the dashboard uses.
class WidgetTool {
public:
    static constexpr const char* program = "tablora-widget";
    using Options = WidgetToolOptions;
    // Makes the store's environment for "snapshot": the platform's real services.
    using EnvironmentFactory = std::function<TarnStore::Environment()>;

    // A tile of the dashboard's usual size, in points.
    static constexpr QSize defaultSize{364, 502};
    // What "dev" was asked for; its window is the program's business, not this class's.
    struct DevRequest {
        QString folder;
        QSize size = defaultSize;
    };

    WidgetTool(QString dataDirectory, QString resourcesDirectory, QTextStream& out,
               QTextStream& err, EnvironmentFactory environment = {},
               WidgetToolOptions options = {});

    // `arguments` without the program name; returns the exit status. "dev" is not run here.
    int run(const QStringList& arguments);

    static QString usage();
    // `arguments` after "dev": the request, or the line saying what is wrong.
    static std::variant<DevRequest, QString> devRequest(const QStringList& arguments);
    // A package folder as the user named it, with links and relative parts resolved, so any way
    // of naming the folder works: "x", "./x", "../x", "x/", or a link to it.
    static QString packageFolder(const QString& given);
    // The warnings as lines for standard error.
    static QString warningLines(const QList<LintWarning>& warnings);

private:
    int misuse(const QString& error);
    int validate(const QString& folder);
    int install(const QString& folder);
    int remove(const QString& id);
    int list();
    int create(const QString& id, const QString& folder);
    int snapshot(const QStringList& arguments);
    static void refreshOnce(TarnStore& store, const QStringList& permissions, const QString& key);
    // The pages, numbered from 1, that hold an instance of the package.
    QList<int> pagesHolding(const QString& packageID) const;
    void rescanDashboard();
    QString sdkDirectory() const;

    QString m_dataDirectory;
    QString m_resourcesDirectory;
    QTextStream& m_out;
    QTextStream& m_err;
    EnvironmentFactory m_environment;
    WidgetToolOptions m_options;
};
