// Zobrist keys, the engine's random generator, and the transposition and pawn tables.
#pragma once

#include <cstdint>

#include "board/board.h"

// The random generator: a 32-bit linear congruential generator. The engine seeds it from the
// clock at start-up; tests and tools seed it with a fixed value so their results repeat.
extern uint32_t RandomSeed;
void SeedRandom(uint32_t seed);
uint32_t RandomDraw(uint32_t range);  // uniform in 0..range-1
uint32_t Random32();
uint64_t Random64();

// Key tables, filled once at start-up by InitZobrist.
extern uint64_t ZobristPiece[13][128];  // [PieceIndex][square]; row 0 unused
extern uint64_t ZobristCastle[4];
extern uint64_t ZobristEp[256];  // entry NoSquare is zero
extern uint32_t ZobristPawn[2][128];
extern uint64_t ZobristSide;

void InitZobrist();

// 0 for an empty square, 1..6 for a white king..pawn, 7..12 for a black one.
inline int PieceIndex(Square s) {
    Piece p = Board[s];
    return p ? (p & 7) + ((p >> 7) * 6) : 0;
}

// Keys of the position on the board, computed from scratch.
uint64_t ComputeKey(int ply);
uint32_t ComputePawnKey();
