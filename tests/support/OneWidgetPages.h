#pragma once

#include "model/Board.h"
#include "model/PageLayout.h"
#include "model/Preferences.h"
#include "support/TestFiles.h"

// Writes a data folder whose first page holds the notes widget alone and whose other pages are
// empty. A first start loads the thirteen widgets of the example pages, each in a process of its
// own; a test whose subject is not the pages starts this way, with one live page, at a fraction
// of the cost.
inline void writeOneWidgetPages(const QString& dataDirectory) {
    Preferences preferences;
    for (int index = 0; index < preferences.pageCount; ++index) {
        PageLayout layout = PageLayout::row({WidgetKind::notes()}, {});
        if (index > 0)
            layout.sections.first().widget.reset();
        preferences.pageLayouts.insert(rawValue(allBoards.at(index)), layout);
    }
    writeFile(dataDirectory + "/preferences.json", preferences.toJson());
}
