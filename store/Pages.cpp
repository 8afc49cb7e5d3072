#include "store/Pages.h"

#include "model/JsonCoding.h"
#include "model/WidgetLayout.h"
#include "packages/WidgetRegistry.h"

#include <QSet>
#include <QUuid>
#include <algorithm>

QList<Board> Pages::of(const Preferences& preferences) {
    const int count = std::clamp(preferences.pageCount, 1, Preferences::maximumPages);
    return QList<Board>(allBoards.begin(), allBoards.begin() + count);
}

PageLayout Pages::layout(const Preferences& preferences, Board on) const {
    const auto stored = preferences.pageLayouts.constFind(rawValue(on));
    if (stored != preferences.pageLayouts.cend() && stored->isValid())
        return stored->oriented(preferences.orientation);
    const QList<WidgetKind> widgets = preferences.widgets(on);
    QList<std::optional<double>> preferred;
    for (const WidgetKind& widget : widgets)
        preferred.append(preferredWidth(widget, on));
    const QList<double> widths = WidgetLayout::widths(preferred, rowWidth, rowSpacing);
    return PageLayout::row(widgets, widths).oriented(preferences.orientation);
}

std::optional<double> Pages::preferredWidth(const WidgetKind& widget, Board board) const {
    const auto package = m_widgets.package(widget);
    if (!package)
        return std::nullopt;
    return package->manifest.width(rawValue(board));
}

PageLayout Pages::example(const Preferences& preferences, Board on) {
    QSet<WidgetKind> elsewhere;
    for (Board page : of(preferences)) {
        if (page == on)
            continue;
        for (const WidgetKind& widget : preferences.widgets(page))
            elsewhere.insert(widget);
    }
    PageLayout example = PageLayout::example(on);
    for (WidgetSection& section : example.sections) {
        if (section.widget && elsewhere.contains(*section.widget))
            section.widget =
                    WidgetKind::named(section.widget->rawValue() + QStringLiteral("-copy-") +
                                      Json::uuidText(QUuid::createUuid()));
    }
    return example.oriented(preferences.orientation);
}

Preferences Pages::withLayout(Preferences preferences, const PageLayout& layout, Board on) {
    const PageLayout stored = layout.oriented(preferences.orientation);
    if (!stored.isValid())
        return preferences;
    preferences.pageLayouts.insert(rawValue(on), stored);
    preferences.widgetOrders.insert(rawValue(on), stored.widgets());
    return preferences;
}

std::optional<Preferences> Pages::withPageAdded(const Preferences& preferences) {
    const int count = int(of(preferences).size());
    if (count >= Preferences::maximumPages)
        return std::nullopt;
    const Board board = allBoards[count];
    Preferences next = withLayout(preferences, example(preferences, board), board);
    next.pageCount = count + 1;
    next.board = board;
    return next;
}

std::optional<Preferences> Pages::withPageDeleted(const Preferences& preferences,
                                                  Board board) const {
    const QList<Board> current = of(preferences);
    if (current.size() < 2 || !current.contains(board))
        return std::nullopt;
    QList<PageLayout> stored;
    for (Board page : current)
        stored.append(layout(preferences, page));
    const qsizetype currentIndex = std::max<qsizetype>(current.indexOf(preferences.board), 0);
    const qsizetype removedIndex = current.indexOf(board);
    stored.removeAt(removedIndex);

    Preferences next = preferences;
    for (Board page : current) {
        next.pageLayouts.remove(rawValue(page));
        next.widgetOrders.remove(rawValue(page));
    }
    for (qsizetype i = 0; i < stored.size(); ++i) {
        next.pageLayouts.insert(rawValue(allBoards[i]), stored[i]);
        next.widgetOrders.insert(rawValue(allBoards[i]), stored[i].widgets());
    }
    const qsizetype newIndex = removedIndex >= currentIndex
                                       ? std::min(stored.size() - 1, currentIndex)
                                       : currentIndex - 1;
    next.pageCount = int(stored.size());
    next.board = allBoards[newIndex];
    return next;
}
