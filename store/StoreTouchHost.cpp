#include "StoreTouchHost.h"

TouchHost storeTouchHost(TarnStore& store) {
    TarnStore* host = &store;
    return {[host] { return host->preferences().directTouch; },
            [host] { return host->pages(); },
            [host] { return host->preferences().board; },
            [host](Board board) {
                host->updatePreferences([board](Preferences& p) { p.board = board; });
            },
            [host](const WidgetKind& a, const WidgetKind& b) { host->swapWidgets(a, b); },
            [host] { host->setSettingsOpen(true); },
            [host](const WidgetKind& kind) -> std::optional<QString> {
                if (const auto package = host->widgets().package(kind))
                    return package->manifest.name;
                return std::nullopt;
            }};
}
