#pragma once

#include <QString>
#include <array>
#include <optional>

// The dashboard's pages in display order. The raw value is both the page's title and its key in
// the preferences' page dictionaries.
enum class Board { overview, focus, system, page4, page5, page6, page7, page8 };

inline constexpr std::array<Board, 8> allBoards = {Board::overview, Board::focus, Board::system,
                                                   Board::page4,    Board::page5, Board::page6,
                                                   Board::page7,    Board::page8};

QString rawValue(Board board);
std::optional<Board> boardNamed(const QString& raw);

// 1 for the first page.
int pageNumber(Board board);
