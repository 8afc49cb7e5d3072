#include "KeptPages.h"

namespace KeptPages {

QList<Board> neighbours(const QList<Board>& pages, Board shown) {
    const qsizetype index = pages.indexOf(shown);
    QList<Board> found;
    if (index < 0)
        return found;
    if (index + 1 < pages.size())
        found.append(pages[index + 1]);
    if (index > 0)
        found.append(pages[index - 1]);
    return found;
}

QList<Board> choose(const QList<Board>& pages, Board shown, const QList<Board>& recentlyShown,
                    const std::function<int(Board)>& pagesOn, int budget) {
    QList<Board> kept{shown};
    int used = pagesOn(shown);
    const auto consider = [&](Board board) {
        if (kept.contains(board) || !pages.contains(board))
            return;
        const int cost = pagesOn(board);
        if (used + cost > budget)
            return;
        kept.append(board);
        used += cost;
    };
    for (Board board : neighbours(pages, shown))
        consider(board);
    for (Board board : recentlyShown)
        consider(board);
    return kept;
}

} // namespace KeptPages
