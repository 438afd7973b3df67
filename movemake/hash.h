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

// One transposition-table slot. The slot count is sized as if an entry took 24 bytes, but an
// entry is packed into 16, so four share a cache line and a probe touches just one line.
// The data word holds, from the low bits: the move (from, to, captured, promotion in 7, 7,
// 3 and 3 bits), the score (18 bits, two's complement; stored scores lie within +-99900),
// the depth, the age and the bound (2 bits).
struct HashEntry {
    uint64_t key;  // full key of the position; 0 in an empty slot
    uint64_t data;
};

// One pawn-table slot, sized as 12 bytes: the pawn-structure score of the evaluation.
struct PawnEntry {
    uint32_t pawnKey;
    uint8_t whitePawns;  // a count each, so that a FEN with more than 15 pawns of a side
    uint8_t blackPawns;  // cannot spill one count into the other
    int32_t score;
};

constexpr int HashMinMB = 4, HashMaxMB = 512, HashDefaultMB = 32;

extern int32_t HashSizeMB;
extern int32_t HashEntries;
extern int32_t PawnEntries;
extern HashEntry* TranspositionTable;
extern PawnEntry* PawnTable;
extern uint8_t HashAge;

// Sizes both tables from HashSizeMB (clamped to 4..512) and clears them. When the memory
// cannot be had, it settles for the largest size it can get.
void AllocateHash();
void ReleaseHash();
void ClearHash();

// The slot of a key: its magnitude read as a signed number, modulo the slot count.
uint32_t HashSlot(uint64_t key);
uint32_t PawnSlot(uint32_t pawnKey);

// Stores a result for the position of `ply` with that ply's hashBound, unless the slot holds
// a deeper entry of the current search. Mate scores are not stored.
void HashStore(uint8_t depth, int ply, int32_t score, Move move);
// Fills hashMove, hashBound, hashScore and hashDepth of `ply` from its slot.
void HashProbe(int ply);
// Writes a principal-variation entry without the replacement test.
void HashStorePv(uint64_t key, uint8_t depth, int32_t score, Move move);

bool PawnProbe(uint32_t pawnKey, int& whitePawns, int& blackPawns, int32_t& score);
// Starts loading a pawn-table slot that will be probed soon.
inline void PawnPrefetch(uint32_t pawnKey) { __builtin_prefetch(&PawnTable[PawnSlot(pawnKey)]); }
void PawnStore(uint32_t pawnKey, int whitePawns, int blackPawns, int32_t score);
