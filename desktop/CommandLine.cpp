#include "CommandLine.h"

#include <optional>

namespace {

using Action = CommandLine::Action;

enum class Value { none, required, optional };

struct Option {
    QString name;
    Action action;
    Value value;
};

const QList<Option>& options() {
    static const QList<Option> all = {
            {"--help", Action::help, Value::none},
            {"--version", Action::version, Value::none},
            {"--autostart", Action::autostart, Value::required},
            {"--preview", Action::preview, Value::none},
            {"--page", Action::page, Value::required},
            {"--next-page", Action::nextPage, Value::none},
            {"--previous-page", Action::previousPage, Value::none},
            {"--reload-widgets", Action::reloadWidgets, Value::none},
            {"--settings", Action::settings, Value::optional},
            {"--notify", Action::notify, Value::required},
    };
    return all;
}

const Option* findOption(const QString& name) {
    for (const Option& option : options()) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

std::optional<SettingsTab> settingsTab(const QString& name) {
    if (name == QStringLiteral("general"))
        return SettingsTab::general;
    if (name == QStringLiteral("layouts"))
        return SettingsTab::layouts;
    if (name == QStringLiteral("widgets"))
        return SettingsTab::packages;
    return std::nullopt;
}

// Reads the option's value into the command; an error line when the value is wrong.
std::optional<QString> takeValue(CommandLine& command, const Option& option, const QString& value) {
    switch (option.action) {
    case Action::autostart:
        if (value != QStringLiteral("on") && value != QStringLiteral("off"))
            return QStringLiteral("--autostart takes on or off, not '%1'").arg(value);
        command.autostart = value == QStringLiteral("on");
        return std::nullopt;
    case Action::page: {
        bool number = false;
        const int page = value.toInt(&number);
        if (!number || page < 1 || page > CommandLine::maximumPage)
            return QStringLiteral("--page takes a page number from 1 to %1, not '%2'")
                    .arg(CommandLine::maximumPage)
                    .arg(value);
        command.page = page;
        return std::nullopt;
    }
    case Action::settings: {
        const auto tab = settingsTab(value);
        if (!tab)
            return QStringLiteral("--settings takes general, layouts or widgets, not '%1'")
                    .arg(value);
        command.settingsTab = *tab;
        return std::nullopt;
    }
    case Action::notify: {
        // The toast is one line.
        const QString text = value.simplified();
        if (text.isEmpty())
            return QStringLiteral("--notify needs a message");
        if (text.size() > CommandLine::maximumNotificationLength)
            return QStringLiteral("--notify takes at most %1 characters, not %2")
                    .arg(CommandLine::maximumNotificationLength)
                    .arg(text.size());
        command.text = text;
        return std::nullopt;
    }
    default:
        return QStringLiteral("%1 takes no value").arg(option.name);
    }
}

CommandLine only(Action action) {
    CommandLine command;
    command.action = action;
    return command;
}

} // namespace

std::variant<CommandLine, QString> CommandLine::parse(const QStringList& arguments) {
    CommandLine command;
    QString given; // the option that chose the action
    for (int index = 0; index < arguments.size(); ++index) {
        const QString& argument = arguments[index];
        if (argument == QStringLiteral("-h"))
            return only(Action::help);
        if (argument.size() < 2 || !argument.startsWith(QLatin1Char('-')))
            return QStringLiteral("unexpected argument '%1'").arg(argument);
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        if (name == QStringLiteral("--verbose")) {
            if (equals >= 0)
                return QStringLiteral("--verbose takes no value");
            command.verbose = true;
            continue;
        }
        const Option* option = findOption(name);
        if (!option)
            return QStringLiteral("unknown option '%1'").arg(name);
        if (option->action == Action::help || option->action == Action::version)
            return only(option->action);
        if (!given.isEmpty())
            return QStringLiteral("one command at a time: %1 and %2").arg(given, name);
        given = name;
        command.action = option->action;

        std::optional<QString> value;
        if (equals >= 0)
            value = argument.mid(equals + 1);
        else if (option->value == Value::required && index + 1 < arguments.size())
            value = arguments[++index];
        else if (option->value == Value::optional && index + 1 < arguments.size() &&
                 !arguments[index + 1].startsWith(QLatin1Char('-')))
            value = arguments[++index];

        if (!value) {
            if (option->value == Value::required)
                return option->action == Action::page ? QStringLiteral("--page needs a page number")
                       : option->action == Action::notify
                               ? QStringLiteral("--notify needs a message")
                               : QStringLiteral("--autostart needs on or off");
            continue;
        }
        if (const auto error = takeValue(command, *option, *value))
            return *error;
    }
    return command;
}

bool CommandLine::needsRunningDashboard() const {
    return action == Action::page || action == Action::nextPage || action == Action::previousPage ||
           action == Action::reloadWidgets || action == Action::notify;
}

bool CommandLine::standsAlone() const {
    return action == Action::help || action == Action::version || action == Action::autostart;
}

QString CommandLine::version() {
    return versionOf(QStringLiteral("tablora"));
}

QString CommandLine::versionOf(const QString& program) {
    return program + QStringLiteral(" " TABLORA_VERSION);
}

QString CommandLine::misuse(const QString& program, const QString& error) {
    return QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(program, error);
}

QString CommandLine::usage() {
    return QStringLiteral(
            "Usage: tablora [OPTION]\n"
            "Starts the dashboard, or gives one command to the dashboard that already runs.\n"
            "\n"
            "  (no option)            start the dashboard, or bring the running one forward\n"
            "  --preview              start in the preview window; with a dashboard running,\n"
            "                         switch it between full screen and the preview window\n"
            "  --page N               show page N (1 to 8)\n"
            "  --next-page            show the next page\n"
            "  --previous-page        show the previous page\n"
            "  --reload-widgets       read the widget packages again\n"
            "  --settings [general|layouts|widgets]\n"
            "                         open the settings, at that tab\n"
            "  --notify TEXT          show TEXT on the dashboard for five seconds\n"
            "  --autostart on|off     start Tablora when you log in, or not\n"
            "  --verbose              also print the log, the widgets' console lines and the\n"
            "                         web engine's messages\n"
            "  --help                 show this help\n"
            "  --version              show the version\n"
            "\n"
            "--page, --next-page, --previous-page, --reload-widgets and --notify need a\n"
            "running dashboard. Exit status: 0 done, 1 the command failed, 2 a wrong command "
            "line.\n");
}
