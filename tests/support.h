// Helpers shared by the in-process tests.
#pragma once

#include <string>
#include <vector>

#include "movegen/genmoves.h"

// A position for the in-process tests to work on: the engine's main search thread's, free
// between searches.
Position& TestPosition();

// The position on the board with the side, castling and en-passant square of `ply`, as FEN;
// a Chess960 position's castling as Shredder-FEN.
std::string PositionToFen(const Position& pos, int ply);

// The colour mirror of a FEN: ranks flipped, colours and side to move swapped.
std::string MirrorFen(const std::string& fen);

// A uniformly drawn legal move of `ply` (NoMove when there is none), from the engine's seeded
// generator, so that a fixed seed repeats the game.
Move RandomLegalMove(Position& pos, int ply);

// Plays a random game of up to `plies` moves from the FEN (the castling field read as a
// Chess960 game's with `chess960`), checking every move of every position on the way with
// CheckEveryMove; returns the first fault with its position as FEN ("" when none).
std::string PlayoutFault(const std::string& fen, bool chess960, int plies);

// Plays up to `count` random legal moves at ply 0, each making the result ply 0.
void PlayRandomMoves(Position& pos, int count);

// Positions for the properties that must hold anywhere: from random games of several openings
// and endings, random placements (any number of kings, pawns on every rank, castling rights
// and en-passant squares that may not fit), and the fuzzers' FEN corpus and findings. Always
// the same list.
std::vector<std::string> PropertyPositions();
