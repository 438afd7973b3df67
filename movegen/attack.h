// Attack detection: does a colour attack a square of a position's board?
#pragma once

#include <cstdint>

#include "board/board.h"
#include "movegen/bitboard.h"

// True when a piece of the colour opposite to `side` (0 white, anything else black) attacks
// `square` on the board of `pos`. A square of NoSquare stands for the king of `side` recorded at
// `ply`.
bool IsAttacked(const Position& pos, uint8_t side, uint8_t ply, Square square);

// The same with the squares of `occupied` taken as the occupied ones (the pieces that attack
// still come from the bitboards): a king's step is safe when its target is not attacked once
// the king has left its square.
bool IsAttackedWith(const Position& pos, uint8_t side, Square square, uint64_t occupied);

// Every piece of either colour that attacks `square`, with the squares of `occupied` taken
// as the occupied ones.
uint64_t AttackersOf(const Position& pos, Square square, uint64_t occupied);

// Sets the in-check flag of `ply` from a full scan around the side to move's king. Every
// make trusts the flag of the position it starts from.
void SetInCheck(Position& pos, int ply);

// The enemy pieces that attack a king. A position a game can reach has at most two; more
// than MaxCheckers (only from odd FEN texts) are not listed and count as "too many".
constexpr int MaxCheckers = 4;
struct Checkers {
    int count;
    Square squares[MaxCheckers];
    // With one checker: its square and the squares between it and the king, where a move
    // other than the king's must land to answer the check. Empty otherwise.
    uint64_t evasionTargets;
};

// Lists the pieces of the colour opposite to `side` that attack `square`.
void FindCheckers(const Position& pos, uint8_t side, Square square, Checkers& out);

// The pieces of `side` that alone stand between its king and an enemy rook, bishop or queen
// on the same line, each with the squares it may still move to: those between the king and
// the pinning piece, and that piece's. Every other piece
// but the king may move without exposing the king.
struct Pins {
    int count;
    Square squares[8];
    uint64_t lines[8];
    uint64_t pinned;  // the pinned pieces' squares
};
void FindPins(const Position& pos, uint8_t side, Square king, Pins& out);

// Whether `move` (not castling, not en passant) would give check, answered before it is made:
// by the moved or promoted piece from its target square, or by a slider behind the square it
// leaves. Exact under the same condition as GivesCheck.
bool WouldGiveCheck(const Position& pos, Move move, int ply);

// Whether `move` (not castling, not en passant), made by the side to move at `ply`, which is
// not in check, would leave its king attacked: the make's legality test, answered before the
// move is made.
bool WouldExposeKing(const Position& pos, Move move, int ply);

// True when `move`, made by the side to move at `ply`, which is in check, is certainly illegal
// without being made: it is not a king move or en passant, and it neither takes the one checker nor
// steps between it and the king (or there are two checkers). Moves it lets through still need the
// make's test.
bool CannotEscapeCheck(const Position& pos, Move move, int ply, const Checkers& checkers);

// True when the piece standing on `from` attacks `target`.
bool PieceAttacks(const Position& pos, Square from, Square target);

// Whether the move just made at `ply` gives check, read from the moved piece and the line
// through its vacated square alone. Exact only when the opponent's king was not attacked
// before the move, which holds in every position the search reaches from a legal root;
// castling and en passant are answered by the full scan.
bool GivesCheck(const Position& pos, Move move, int ply);

// True when a rook, bishop or queen of the colour opposite to `side` attacks `king` along
// the line through `through`. After a move that did not start in check and was not a king
// move, this is the only way the mover's king can have become attacked.
bool IsAttackedThrough(const Position& pos, uint8_t side, Square king, Square through);
