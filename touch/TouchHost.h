#pragma once

#include "model/Board.h"
#include "model/WidgetKind.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

// What direct touch reads and changes in the application's state.
struct TouchHost {
    std::function<bool()> directTouchEnabled; // the preference
    std::function<QList<Board>()> pages;
    std::function<Board()> currentBoard;
    std::function<void(Board)> showBoard;
    std::function<void(const WidgetKind&, const WidgetKind&)> swapWidgets;
    std::function<void()> openSettings;
    // The name of the widget's package, when one is installed.
    std::function<std::optional<QString>(const WidgetKind&)> widgetName;
};
