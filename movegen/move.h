// The move word: one 32-bit value per move, a byte per field.
#pragma once

#include <string>

#include "board/board.h"

//   31        24 23        16 15         8 7          0
//  +------------+------------+------------+------------+
//  | promotion  |  captured  |     to     |    from    |
//  +------------+------------+------------+------------+
//
// from, to: 0x88 squares. captured: the type taken (Pawn for en passant), 0 for none.
// promotion: the type a pawn becomes, 0 for none. Castling is the king's two-file step; in a
// Chess960 game it is the king taking its own rook, its `to` the rook's square with the 0x88
// hole bit set (CastlingFlag): a square off the board, so that no other move has it, which the
// transposition table keeps like any other.
// So a word above 0xFFFF captures or promotes, and one above 0xFFFFFF promotes.
constexpr Move NoMove = 0;

inline Square FromOf(Move m) { return Square(m & 0xFF); }
inline Square ToOf(Move m) { return Square((m >> 8) & 0xFF); }
constexpr Move CastlingFlag = 0x0800;
// A Chess960 castling by the king on `king` with the rook on `rook`, and that rook's square.
inline Move Chess960Castling(Square king, Square rook) { return Move(king) | Move(rook | 8) << 8; }
inline Square CastlingRook(Move m) { return Square(ToOf(m) ^ 8); }
inline int CapturedOf(Move m) { return int((m >> 16) & 0xFF); }
inline int PromotionOf(Move m) { return int(m >> 24); }
inline Move MakeMoveWord(int from, int to, int captured = 0, int promotion = 0) {
    return Move(from) | Move(to) << 8 | Move(captured) << 16 | Move(promotion) << 24;
}
inline bool IsTactical(Move m) { return m > 0xFFFF; }  // capture or promotion
inline bool IsQuiet(Move m) { return m < 0x10000; }
inline bool IsPromotion(Move m) { return m > 0xFFFFFF; }

// En passant: a capture onto the en-passant square of `ps`, the record of the position the
// move is played from. That square is always empty, so no other capture ends there; and the
// record stays as it is through the make and the take-back, so the test holds at every stage.
inline bool IsEnPassant(const PlyState& ps, Move m) {
    return CapturedOf(m) != 0 && ToOf(m) == ps.epSquare;
}

// Castling: the only move of two files by a king, or a Chess960 castling; `moved` is the
// piece that makes it.
inline bool IsCastling(Piece moved, Move m) {
    return (m & CastlingFlag) ||
           (TypeOf(moved) == King && (ToOf(m) == FromOf(m) + 2 || ToOf(m) + 2 == FromOf(m)));
}

// "e2e4", "e7e8q"; NoMove prints as "0000", the protocol's null move.
std::string MoveToText(Move m);
