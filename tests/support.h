// Helpers shared by the in-process tests.
#pragma once

#include <string>

#include "movegen/genmoves.h"

// The position on the board with the side, castling and en-passant square of `ply`, as FEN.
std::string PositionToFen(const Position& pos, int ply);

// The colour mirror of a FEN: ranks flipped, colours and side to move swapped.
std::string MirrorFen(const std::string& fen);

// A uniformly drawn legal move of `ply` (NoMove when there is none), from the engine's seeded
// generator, so that a fixed seed repeats the game.
Move RandomLegalMove(Position& pos, int ply);

// Plays up to `count` random legal moves on a game position (ply 0), as the POSITION command
// would.
void PlayRandomMoves(Position& pos, int count);
