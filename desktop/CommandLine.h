#pragma once

#include "store/TarnStore.h"

#include <QString>
#include <QStringList>
#include <variant>

// What one start of `tablora` asks for. At most one command per start; --verbose goes with any.
struct CommandLine {
    enum class Action {
        start, // start the dashboard, or bring the running one forward
        help,
        version,
        autostart,
        preview, // start in the preview window, or toggle the running dashboard's
        page,
        nextPage,
        previousPage,
        reloadWidgets,
        settings,
        notify,
    };

    static constexpr int maximumPage = 8;
    static constexpr int maximumNotificationLength = 300;

    Action action = Action::start;
    int page = 0; // 1-based, for page
    SettingsTab settingsTab = SettingsTab::general;
    QString text;           // for notify
    bool autostart = false; // for autostart: on or off
    bool verbose = false;

    // `arguments` without the program's name. Either the command or one line saying what is
    // wrong with the arguments.
    static std::variant<CommandLine, QString> parse(const QStringList& arguments);
    static QString usage();
    static QString version();

    // The manners every Tablora program shares. "PROGRAM VERSION", for --version:
    static QString versionOf(const QString& program);
    // A wrong command line: what was wrong in one line, then where to look (exit status 2).
    static QString misuse(const QString& program, const QString& error);
    static constexpr int misuseStatus = 2;

    // Commands that act on a running dashboard and have no meaning without one.
    bool needsRunningDashboard() const;
    // Commands that are done without the dashboard: they never start or reach it.
    bool standsAlone() const;
};
