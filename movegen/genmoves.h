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

// The two kinds of list: every pseudo-legal move, or only the captures (en passant and
// capturing promotions included) and the non-capturing promotions.
enum class ListKind { AllMoves, Captures };

// Writes the moves of the side to move at `ply` into that ply's list and sets its moveCount.
// Both kinds come from one generator in the fixed generation order (pieces from a1 to h8,
// each piece's moves by its offsets), so the capture list is the full list less its quiet
// moves, in the same order.
template <ListKind kind>
void GenerateList(int ply);

// The full list, for the search, perft and the POSITION command.
void GenerateMoves(int ply);
