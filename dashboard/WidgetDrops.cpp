#include "WidgetDrops.h"

#include "store/TarnStore.h"

namespace WidgetDrops {

namespace {

const QString widgetPrefix = QStringLiteral("tarn-widget:");
const QString packagePrefix = QStringLiteral("tarn-package:");

std::optional<QString> sectionOf(const PageLayout& layout, const WidgetKind& widget) {
    for (const WidgetSection& section : layout.sections) {
        if (section.widget == widget)
            return section.id;
    }
    return std::nullopt;
}

} // namespace

QString dragText(const WidgetKind& widget) {
    return widgetPrefix + widget.rawValue();
}

bool drop(const QString& text, const WidgetKind& target, TarnStore& store) {
    if (text.startsWith(packagePrefix)) {
        const QString packageID = text.mid(packagePrefix.size());
        if (!store.widgets().package(packageID))
            return false;
        const Board board = store.preferences().board;
        PageLayout layout = store.layout(board);
        const auto section = sectionOf(layout, target);
        if (!section)
            return false;
        layout.place(WidgetKind::instance(packageID), *section);
        store.setLayout(layout, board);
        return true;
    }
    if (text.startsWith(widgetPrefix)) {
        const auto dragged = WidgetKind::named(text.mid(widgetPrefix.size()));
        if (!dragged)
            return false;
        store.swapWidgets(*dragged, target);
        return true;
    }
    return false;
}

bool move(const WidgetKind& widget, int offset, TarnStore& store) {
    const QList<WidgetKind> widgets = store.preferences().widgets(store.preferences().board);
    const qsizetype index = widgets.indexOf(widget);
    const qsizetype neighbour = index + offset;
    if (index < 0 || neighbour < 0 || neighbour >= widgets.size())
        return false;
    store.swapWidgets(widget, widgets[neighbour]);
    return true;
}

} // namespace WidgetDrops
