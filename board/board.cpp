// Board, pieces and position state.
#include "board/board.h"

#include <cstring>

const int32_t PieceValue[7] = {0, 100000, 1200, 600, 400, 400, 100};

const char PieceLetters[15] = ".KQRBNP.kqrbnp";

const char StartFen[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// "a1".."h8" for the real squares and "**" for the 0x88 holes.
const char SquareNames[128][3] = {
    "a1", "b1", "c1", "d1", "e1", "f1", "g1", "h1", "**", "**", "**", "**", "**", "**", "**", "**",
    "a2", "b2", "c2", "d2", "e2", "f2", "g2", "h2", "**", "**", "**", "**", "**", "**", "**", "**",
    "a3", "b3", "c3", "d3", "e3", "f3", "g3", "h3", "**", "**", "**", "**", "**", "**", "**", "**",
    "a4", "b4", "c4", "d4", "e4", "f4", "g4", "h4", "**", "**", "**", "**", "**", "**", "**", "**",
    "a5", "b5", "c5", "d5", "e5", "f5", "g5", "h5", "**", "**", "**", "**", "**", "**", "**", "**",
    "a6", "b6", "c6", "d6", "e6", "f6", "g6", "h6", "**", "**", "**", "**", "**", "**", "**", "**",
    "a7", "b7", "c7", "d7", "e7", "f7", "g7", "h7", "**", "**", "**", "**", "**", "**", "**", "**",
    "a8", "b8", "c8", "d8", "e8", "f8", "g8", "h8", "**", "**", "**", "**", "**", "**", "**", "**",
};

Square SquareFromText(const char* text) {
    const int file = (text[0] | 0x20) - 'a';  // either case
    if (file < 0 || file > 7 || text[1] < '1' || text[1] > '8') return NoSquare;
    return Square((text[1] - '1') * 16 + file);
}

void SavePlacement(Placement& to, const Position& from) {
    std::memcpy(to.board, from.board, sizeof to.board);
    std::memcpy(to.byColour, from.byColour, sizeof to.byColour);
    std::memcpy(to.byType, from.byType, sizeof to.byType);
    to.castlingRules = from.castlingRules;
}

void RestorePlacement(Position& to, const Placement& from) {
    std::memcpy(to.board, from.board, sizeof to.board);
    std::memcpy(to.byColour, from.byColour, sizeof to.byColour);
    std::memcpy(to.byType, from.byType, sizeof to.byType);
    to.castlingRules = from.castlingRules;
}
