// The move word, the per-ply move lists and the full pseudo-legal move generator.
#pragma once

#include <string>

#include "board/board.h"

// A move packs from, to, the captured type and the promotion type into one byte each.
// Castling is the king's two-file step; en passant carries captured = Pawn.
constexpr Move NoMove = 0;

inline Square FromOf(Move m) { return Square(m & 0xFF); }
inline Square ToOf(Move m) { return Square((m >> 8) & 0xFF); }
inline int CapturedOf(Move m) { return int((m >> 16) & 0xFF); }
inline int PromotionOf(Move m) { return int(m >> 24); }
inline Move MakeMoveWord(int from, int to, int captured = 0, int promotion = 0) {
    return Move(from) | Move(to) << 8 | Move(captured) << 16 | Move(promotion) << 24;
}
inline bool IsTactical(Move m) { return m > 0xFFFF; }  // capture or promotion
inline bool IsQuiet(Move m) { return m < 0x10000; }
inline bool IsPromotion(Move m) { return m > 0xFFFFFF; }

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

// "e2e4", "e7e8q"; NoMove prints as "a1a1".
std::string MoveToText(Move m);
