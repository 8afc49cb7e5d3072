#pragma once

#include "model/Board.h"
#include "model/PageLayout.h"
#include "model/Preferences.h"

#include <optional>

class WidgetRegistry;

// The dashboard's pages as the preferences hold them: which there are, the layout of each in the
// display's orientation, and what adding or deleting one makes of the preferences.
class Pages {
public:
    // The row a page without a stored layout falls back to, in points.
    static constexpr double rowWidth = 1892;
    static constexpr double rowSpacing = 14;

    explicit Pages(const WidgetRegistry& widgets) : m_widgets(widgets) {}

    static QList<Board> of(const Preferences& preferences);
    // Always valid and in the display's orientation.
    PageLayout layout(const Preferences& preferences, Board on) const;
    // The example of a page, with fresh instances for widgets another page already shows.
    static PageLayout example(const Preferences& preferences, Board on);
    // The layout stored for a page; an invalid one changes nothing.
    static Preferences withLayout(Preferences preferences, const PageLayout& layout, Board on);
    // A page after the last, made current; none when there are as many as can be.
    static std::optional<Preferences> withPageAdded(const Preferences& preferences);
    // The pages after it move down one; none when it is the only page or not a page.
    std::optional<Preferences> withPageDeleted(const Preferences& preferences, Board board) const;

private:
    std::optional<double> preferredWidth(const WidgetKind& widget, Board board) const;

    const WidgetRegistry& m_widgets;
};
