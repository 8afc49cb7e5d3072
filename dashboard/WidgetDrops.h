#pragma once

#include "model/WidgetKind.h"

#include <QString>

class TarnStore;

// What the dashboard does with text dropped onto a widget and with "Move left"/"Move right",
// on the current page.
namespace WidgetDrops {

// The text a dragged widget carries.
QString dragText(const WidgetKind& widget);
// "tarn-package:ID" places a new instance of an installed package in the target's section;
// "tarn-widget:KIND" swaps the two widgets. Anything else is ignored. True when it was used.
bool drop(const QString& text, const WidgetKind& target, TarnStore& store);
// Swaps the widget with its neighbour in the page's widget list; nothing at either end.
bool move(const WidgetKind& widget, int offset, TarnStore& store);

} // namespace WidgetDrops
