#include "Board.h"

#include "RawValue.h"

QString rawValue(Board board) {
    switch (board) {
    case Board::overview:
        return QStringLiteral("Overview");
    case Board::focus:
        return QStringLiteral("Focus");
    case Board::system:
        return QStringLiteral("System");
    default:
        return QStringLiteral("Page %1").arg(pageNumber(board));
    }
}

std::optional<Board> boardNamed(const QString& raw) {
    return caseNamed<Board>(raw, allBoards);
}

int pageNumber(Board board) {
    return static_cast<int>(board) + 1;
}
