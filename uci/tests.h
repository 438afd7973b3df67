// The perft self-test: counts the legal move paths of a position to a depth.
#pragma once

#include <cstdint>
#include <string>

#include "board/board.h"

// The number of legal move paths of length `depth` from `ply`.
int64_t Perft(Position& pos, int depth, int ply);

// Prepares Perft for the position at ply 0: when the side not to move is not in check, as in
// every position a game can reach, checks are read off the moved piece instead of a full
// scan. Without it Perft scans, which is right for any position.
void StartPerft(const Position& pos);

// Sets the game's position and reports the counts, times and speeds of depths 1..maxDepth.
void RunPerftTest(Game& game, int maxDepth, const std::string& fen);

// The position and depth of the TEST command.
extern const char SelfTestFen[];
constexpr int SelfTestDepth = 7;
