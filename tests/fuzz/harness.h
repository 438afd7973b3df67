// Fuzz harnesses and the invariant checker they share with the test suite, which replays the
// seed corpus and every input a fuzzer ever found through the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "board/board.h"

// Builds the engine's tables once, with a fixed seed and small hash tables, and sends the
// engine's protocol lines to nowhere.
void FuzzSetUp();

// Asks the position at `ply` every attack question, for both sides and every square, and for
// each move of its list the check and legality short cuts; writes both move lists, counts the
// legal moves and takes the mobility from every square; and returns the first answer of the
// bitboards that differs from the ray walks of tests/reference ("" when none does).
std::string CheckBitboardAnswers(Position& pos, int ply);

// Makes and takes back every generated move of `ply` with all three makes and returns the
// first thing that did not hold ("" when all did): the board, the record and the keys are
// restored, incremental keys equal keys computed afresh, the three makes agree on legality,
// and the capture list is the full list without its quiet moves. In a position a game can
// reach (`reachable`) it also checks legality, the board invariants and the check short cuts
// against a full attack scan. It first checks the bitboards' answers (CheckBitboardAnswers).
std::string CheckEveryMove(Position& pos, int ply, bool reachable);

// Feeds the input to the command loop as a session, one command per line. Searches are kept
// short: every "go" gets a small clock and depth appended, "test" is skipped and hash sizes
// are capped. Invariants are checked after every command; a broken one aborts.
void FuzzCommandSession(const uint8_t* data, size_t size);

// Reads the input as a FEN text, with its castling field as standard chess's and as a
// Chess960 game's, checks every move as CheckEveryMove does, evaluates and runs a short search;
// a broken invariant aborts.
void FuzzFenText(const uint8_t* data, size_t size);
