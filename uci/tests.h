// The perft self-test: counts the legal move paths of a position to a depth.
#pragma once

#include <cstdint>
#include <string>

// Leaves counted by the current Perft call.
extern int64_t PerftNodes;

// Adds to PerftNodes the number of legal move paths of length `depth` from `ply`.
void Perft(int depth, int ply);

// Prepares Perft for the game position at ply 0: when the side not to move is not in check,
// as in every position a game can reach, checks are read off the moved piece instead of a
// full scan. Without it Perft scans, which is right for any position.
void StartPerft();

// Sets the position and reports the counts, times and speeds of depths 1..maxDepth.
void RunPerftTest(int maxDepth, const std::string& fen);

// The position and depth of the TEST command.
extern const char SelfTestFen[];
constexpr int SelfTestDepth = 7;
