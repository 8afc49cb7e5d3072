#include "NameSuggestion.h"

#include <QList>
#include <algorithm>

namespace {

// Insertions, deletions, substitutions, and swaps of two neighbours, each counting one.
int editDistance(const QString& a, const QString& b) {
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    QList<QList<int>> d(n + 1, QList<int>(m + 1, 0));
    for (qsizetype i = 0; i <= n; ++i)
        d[i][0] = int(i);
    for (qsizetype j = 0; j <= m; ++j)
        d[0][j] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[n][m];
}

} // namespace

std::optional<QString> closestName(const QString& typed, const QStringList& known) {
    // Long names tolerate more slips than short ones; a two-letter name tolerates none.
    const QString lowered = typed.toLower();
    const int tolerance = lowered.size() <= 3 ? 0 : lowered.size() <= 6 ? 1 : 2;
    std::optional<QString> best;
    int bestDistance = tolerance + 1;
    for (const QString& name : known) {
        const int distance = editDistance(lowered, name.toLower());
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}
