// The move generator, full or captures only.
#pragma once

#include "board/board.h"
#include "movegen/move.h"

// The two kinds of list: every pseudo-legal move, or only the captures (en passant and
// capturing promotions included) and the non-capturing promotions.
enum class ListKind { AllMoves, Captures };

// Writes the moves of the side to move at `ply` into that ply's list and sets its moveCount.
// Both kinds come from one generator in the fixed generation order (pieces from a1 to h8,
// each piece's moves by its offsets), so the capture list is the full list less its quiet
// moves, in the same order.
template <ListKind kind>
void GenerateList(Position& pos, int ply);

// The full list, for the search, perft and the POSITION command.
void GenerateMoves(Position& pos, int ply);

// The number of legal moves of the side to move at `ply`: its full list less the moves that
// leave its king attacked, counted from the bitboards without writing the list; perft's last
// ply needs no more. -1 when that side has no king, or more than one, or its king is not on
// the square its record keeps (FEN texts no game reaches): then the moves must be made.
int CountLegalMoves(const Position& pos, int ply);
