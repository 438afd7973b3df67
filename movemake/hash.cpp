// Zobrist keys and the random generator.
#include "movemake/hash.h"

uint32_t RandomSeed;

uint64_t ZobristPiece[13][128];
uint64_t ZobristCastle[4];
uint64_t ZobristEp[256];
uint32_t ZobristPawn[2][128];
uint64_t ZobristSide;

void SeedRandom(uint32_t seed) { RandomSeed = seed; }

uint32_t RandomDraw(uint32_t range) {
    RandomSeed = RandomSeed * 134775813u + 1u;
    return uint32_t((uint64_t(RandomSeed) * range) >> 32);
}

uint32_t Random32() {
    uint32_t high = RandomDraw(65536);
    uint32_t low = RandomDraw(65536);
    return (high << 16) | low;
}

uint64_t Random64() {
    uint64_t r1 = RandomDraw(65536), r2 = RandomDraw(65536);
    uint64_t r3 = RandomDraw(65536), r4 = RandomDraw(65536);
    return ((r1 << 16 | r4) << 32) | (r3 << 16 | r2);
}

// The fill order is fixed so that one seed always gives the same tables.
void InitZobrist() {
    for (int i = 1; i <= 12; ++i)
        for (int s = 0; s < 128; ++s) ZobristPiece[i][s] = Random64();
    for (auto& k : ZobristCastle) k = Random64();
    for (auto& k : ZobristEp) k = Random64();
    for (auto& row : ZobristPawn)
        for (auto& k : row) k = Random32();
    ZobristEp[NoSquare] = 0;
    ZobristSide = Random64();
}

uint64_t ComputeKey(int ply) {
    uint64_t key = 0;
    for (int s = 0; s < 128; ++s)
        if (OnBoard(s) && Board[s]) key ^= ZobristPiece[PieceIndex(Square(s))][s];
    for (int bit = 0; bit < 4; ++bit)
        if (Ply[ply].castling & (1 << bit)) key ^= ZobristCastle[bit];
    key ^= ZobristEp[Ply[ply].epSquare];
    if (Ply[ply].side == 1) key ^= ZobristSide;
    return key;
}

uint32_t ComputePawnKey() {
    uint32_t key = 0;
    for (int s = 0; s < 128; ++s) {
        if (!OnBoard(s)) continue;
        if (Board[s] == WhitePawn) key ^= ZobristPawn[0][s];
        if (Board[s] == BlackPawn) key ^= ZobristPawn[1][s];
    }
    return key;
}
