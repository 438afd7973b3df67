// Zobrist keys, the engine's random generator, and the transposition and pawn tables.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/board.h"

// The random generator: a 32-bit linear congruential generator. The engine seeds it from the
// clock at start-up; tests and tools seed it with a fixed value so their results repeat.
extern uint32_t RandomSeed;
void SeedRandom(uint32_t seed);
uint32_t RandomDraw(uint32_t range);  // uniform in 0..range-1
// The same generator on a sequence of the caller's own.
uint32_t RandomDraw(uint32_t& seed, uint32_t range);
uint32_t Random32();
uint64_t Random64();

// Key tables, filled once at start-up by InitZobrist.
extern uint64_t ZobristPiece[13][128];    // [PieceIndex][square]; row 0 unused
extern uint64_t ZobristCastle[16];        // per set of castling rights: its bits' keys XORed
extern uint64_t ZobristCastleRook[2][8];  // a Chess960 right by colour and its rook's file
extern uint64_t ZobristEp[256];           // entry NoSquare is zero
extern uint32_t ZobristPawn[2][128];
extern uint64_t ZobristSide;

void InitZobrist();

// Fills the keys of each set of castling rights of `rules` from their rooks' squares: a right
// whose rook starts in its corner has the standard key, so that standard positions keep
// theirs, and any other the key of its colour and file, so that two positions that differ
// only in which rook may castle never share a key.
void SetCastlingKeys(CastlingRules& rules);

// 0 for an empty square, 1..6 for a white king..pawn, 7..12 for a black one; read from a
// table of every piece code.
struct PieceIndexTable {
    uint8_t index[256];
};
constexpr PieceIndexTable MakePieceIndices() {
    PieceIndexTable table{};
    for (int p = 1; p < 256; ++p) table.index[p] = uint8_t((p & 7) + ((p >> 7) * 6));
    return table;
}
inline constexpr PieceIndexTable PieceIndices = MakePieceIndices();
inline int PieceIndex(Piece p) { return PieceIndices.index[p]; }

// Keys of the position on the board, computed from scratch.
uint64_t ComputeKey(const Position& pos, int ply);
uint32_t ComputePawnKey(const Position& pos);

// One transposition-table slot. The slot count was sized for a 24-byte entry, and it still is:
// a key's slot is its value modulo the count, so another count would put entries elsewhere,
// change which ones replace each other and so every search result, the bench signature and
// the table of sizes the tests check. The entry itself is packed into 16 bytes, so that four
// share a cache line and a probe touches just one line.
// The data word holds, from the low bits: the move (from, to, captured, promotion in 7, 7,
// 3 and 3 bits), the score (18 bits, two's complement; stored scores lie within +-99900),
// the depth, the age and the bound (2 bits).
// Every search thread reads and writes the table without a lock. Each word is written whole,
// but another thread may write the slot between the two words; so the slot keeps the key
// XORed with the data, and an entry whose words come from two different writes fails the key
// test like any other position's entry.
struct HashEntry {
    std::atomic<uint64_t> check;  // the position's key XOR data; 0 in an empty slot
    std::atomic<uint64_t> data;
};

// What a probe found: a bound of BoundNone (and no move) when the slot holds another position.
struct HashHit {
    Move move = 0;
    uint8_t bound = BoundNone;
    uint8_t depth = 0;
    int32_t score = 0;
};

// One pawn-table slot, sized as 12 bytes: the pawn-structure score of the evaluation.
struct PawnEntry {
    uint32_t pawnKey;
    uint8_t whitePawns;  // a count each, so that a FEN with more than 15 pawns of a side
    uint8_t blackPawns;  // cannot spill one count into the other
    int32_t score;
};

// A pawn table of PawnEntries slots. Each search thread owns one, so that no lock is needed.
struct PawnTable {
    PawnEntry* entries = nullptr;
    PawnTable() = default;
    PawnTable(const PawnTable&) = delete;
    PawnTable& operator=(const PawnTable&) = delete;
    ~PawnTable();
};

constexpr int HashMinMB = 4, HashMaxMB = 512, HashDefaultMB = 32;

extern int32_t HashSizeMB;
extern int32_t HashEntries;
extern int32_t PawnEntries;
extern HashEntry* TranspositionTable;
extern uint8_t HashAge;

// Sizes the transposition table and PawnEntries from HashSizeMB (clamped to 4..512) and
// clears the table. A sixteenth of the size (at least 1 MB) is the size of a pawn table, of
// which each search thread has one; the rest is the transposition table. When the memory
// cannot be had, it settles for the largest size it can get.
void AllocateHash();
void ReleaseHash();
void ClearHash();

// (Re)allocates a pawn table with PawnEntries slots, empty.
void AllocatePawnTable(PawnTable& table);
void ClearPawnTable(PawnTable& table);

// The slot of a key: its magnitude read as a signed number, modulo the slot count. The
// signed reading is no virtue of its own: it keeps every key in exactly the slot it has always
// had, so that the searches, and with them the bench signature, stay as they were. The pawn
// slot reads its 32-bit key the same way, for the same reason.
uint32_t HashSlot(uint64_t key);
uint32_t PawnSlot(uint32_t pawnKey);

// Stores a result for the position with `key`, unless the slot holds a deeper entry of the
// current search. Mate scores are not stored.
void HashStore(uint64_t key, uint8_t depth, uint8_t bound, int32_t score, Move move);
// The entry of the position with `key`, if its slot holds one.
HashHit HashProbe(uint64_t key);
// Writes a principal-variation entry without the replacement test.
void HashStorePv(uint64_t key, uint8_t depth, int32_t score, Move move);

bool PawnProbe(const PawnTable& table, uint32_t pawnKey, int& whitePawns, int& blackPawns,
               int32_t& score);
// Starts loading a pawn-table slot that will be probed soon.
inline void PawnPrefetch(const PawnTable& table, uint32_t pawnKey) {
    __builtin_prefetch(&table.entries[PawnSlot(pawnKey)]);
}
void PawnStore(PawnTable& table, uint32_t pawnKey, int whitePawns, int blackPawns, int32_t score);
