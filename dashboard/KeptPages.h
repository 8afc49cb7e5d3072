#pragma once

#include "model/Board.h"

#include <QList>
#include <functional>

// Which pages the dashboard keeps drawn besides the one shown, so that changing pages shows a page
// ready at once, without eight full pages holding sixty renderers: the page shown, then its
// neighbours (the next one first, where a swipe leads most), then the others from the most
// recently shown, each only while the web pages of all kept pages stay within `budget`. The page
// shown is always kept, whatever it holds.
namespace KeptPages {

// Web pages kept at most, about the first-run pages together (15): each one is a renderer of
// 13 to 16 MB.
constexpr int budget = 16;

QList<Board> choose(const QList<Board>& pages, Board shown, const QList<Board>& recentlyShown,
                    const std::function<int(Board)>& pagesOn, int budget = KeptPages::budget);

// The neighbours of the page shown that are worth drawing ahead: those `choose` keeps.
QList<Board> neighbours(const QList<Board>& pages, Board shown);

} // namespace KeptPages
