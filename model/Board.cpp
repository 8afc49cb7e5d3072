#include "Board.h"

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
    for (Board board : allBoards) {
        if (rawValue(board) == raw)
            return board;
    }
    return std::nullopt;
}

int pageNumber(Board board) {
    return static_cast<int>(board) + 1;
}
