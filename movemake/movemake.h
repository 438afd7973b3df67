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

// Plays `move` on a position: makes it at ply 0 and makes the result ply 0. Returns false,
// changing nothing, when the move is illegal there.
bool PlayMove(Position& pos, Move move);
// The same on a game, whose key history books the new position.
bool PlayMove(Game& game, Move move);

// The generated move of ply 0 that a move text ("e2e4", "e7e8q", either case) names, or
// NoMove; it may still be illegal.
Move FindMoveText(Position& pos, const std::string& text);
// Plays a move text on a game when it names a legal move there; returns whether it did.
bool PlayMoveText(Game& game, const std::string& text);

// Sets a game to the position of a FEN text, with no history before it; `chess960` reads the
// castling field as a Chess960 game's (see SetPosition). A refused text leaves the game as it
// was and answers false.
bool StartGame(Game& game, const std::string& fen, bool chess960 = false);

// Copies the position fields of one record into another.
void CopyPlyState(Position& pos, int from, int to);

// True when the bitboards hold exactly the pieces of the board.
bool BitboardsMatchBoard(const Position& pos);

// Debug check of the invariants that every module keeps: off-board cells empty, bitboards
// matching the board, king squares right, material and keys matching the board. Asserted in
// debug builds and tests. Only the full make keeps the 64-bit key, so a record written by the
// quiescence make is checked without it (`withKey` false).
bool BoardIsOk(const Position& pos, int ply, bool withKey = true);
