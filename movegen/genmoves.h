// The per-ply move lists and the move generator, full or captures only.
#pragma once

#include "board/board.h"
#include "movegen/move.h"

// Deepest ply that owns a move list. A search node at this ply does not expand further.
constexpr int MaxSearchPly = 100;

// Capacity of one ply's list. No piece has more than 27 moves and a side has at most 64
// pieces, so 2048 slots hold every list the FEN reader can produce, with room for the
// sort's sentinel.
constexpr int MaxMovesPerPly = 2048;

// Row length of the per-ply tables: a little more than the capacity, so that the same entry
// of neighbouring plies does not fall into the same cache set.
constexpr int MoveListStride = MaxMovesPerPly + 16;

// Per ply: the moves as generated, the search order (positions in MoveTable) and the ordering
// score of each order slot. Entries are numbered from 1.
extern Move MoveTable[MaxSearchPly + 1][MoveListStride];
extern int32_t OrderTable[MaxSearchPly + 1][MoveListStride];
extern int32_t ScoreTable[MaxSearchPly + 1][MoveListStride];

// Writes every pseudo-legal move of the side to move at `ply` into that ply's list, in the
// fixed generation order, and sets its moveCount.
void GenerateMoves(int ply);
