// Making and taking back moves. Making a move at ply p writes record p + 1 from scratch and
// changes the board in place; taking it back restores only the board.
#pragma once

#include <string>

#include "board/board.h"

struct Checkers;

// The full make: keeps everything in record p + 1 that a later ply can read. Returns false,
// with the board already restored, when the move leaves the mover's king attacked. A side in
// check may pass the pieces that give the check, which spares most evasions a full scan.
bool MakeMove(Position& pos, Move move, int ply, const Checkers* checkers = nullptr);

// The quiescence make: no 64-bit key, castling rights or last move.
bool MakeCapture(Position& pos, Move move, int ply, const Checkers* checkers = nullptr);

// The board-only make used where only legality matters (perft leaves, the legality filter).
bool MakeTrial(Position& pos, Move move, int ply);

// Restores the board after a successful make of `move` at `ply` by any of the three.
void TakeBack(Position& pos, Move move, int ply);

// Passes: record ply + 1 is the position of `ply` with the other side to move and no
// en-passant square. No piece moves, so taking it back has nothing to restore.
void MakeNullMove(Position& pos, int ply);
inline void TakeBackNullMove(Position&, int) {}

// Plays `move` on a game position: makes it at ply 0, makes the result ply 0 and books it
// in the game history. Returns false, changing nothing, when the move is illegal there.
bool PlayMove(Position& pos, Move move);

// Plays a move text ("e2e4", "e7e8q", either case) on a game position when one of its
// generated moves matches it and is legal; returns whether one did.
bool PlayMoveText(Position& pos, const std::string& text);

// Copies the position fields of one record into another.
void CopyPlyState(Position& pos, int from, int to);

// Debug check of the invariants that every module keeps: off-board cells empty, king squares
// right, material and keys matching the board. Asserted in debug builds and tests. Only the
// full make keeps the 64-bit key, so a record written by the quiescence make is checked
// without it (`withKey` false).
bool BoardIsOk(const Position& pos, int ply, bool withKey = true);
