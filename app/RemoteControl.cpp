#include "RemoteControl.h"

#include "app/AppDelegate.h"

#include <algorithm>

namespace {

using Action = CommandLine::Action;

int currentPageIndex(const TarnStore& store) {
    return std::max<int>(0, store.pages().indexOf(store.preferences().board));
}

// Like a swipe: the first and last pages stay where they are.
void showPageBeside(AppDelegate& app, int step) {
    const int last = int(app.store().pages().size()) - 1;
    app.showPage(std::clamp(currentPageIndex(app.store()) + step, 0, last));
}

} // namespace

QString runCommand(AppDelegate& app, const CommandLine& command) {
    TarnStore& store = app.store();
    switch (command.action) {
    case Action::start:
        app.showDashboard();
        return {};
    case Action::preview:
        app.toggleWindow();
        return {};
    case Action::page: {
        const int pages = int(store.pages().size());
        if (command.page > pages)
            return QStringLiteral("there is no page %1: the dashboard has %2 %3")
                    .arg(command.page)
                    .arg(pages)
                    .arg(pages == 1 ? QStringLiteral("page") : QStringLiteral("pages"));
        app.showPage(command.page - 1);
        return {};
    }
    case Action::nextPage:
        showPageBeside(app, 1);
        return {};
    case Action::previousPage:
        showPageBeside(app, -1);
        return {};
    case Action::reloadWidgets:
        app.reloadWidgets();
        return {};
    case Action::settings:
        store.setSettingsTab(command.settingsTab);
        app.showSettings();
        return {};
    case Action::notify:
        store.notify(command.text);
        return {};
    case Action::help:
    case Action::version:
    case Action::autostart:
        break;
    }
    return QStringLiteral("the running dashboard takes no such command");
}
