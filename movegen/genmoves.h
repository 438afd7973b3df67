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
