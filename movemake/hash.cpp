// Zobrist keys, the random generator, and the transposition and pawn tables.
#include "movemake/hash.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "movegen/move.h"

uint32_t RandomSeed;

uint64_t ZobristPiece[13][128];
uint64_t ZobristCastle[16];
uint64_t ZobristCastleRook[2][8];
uint64_t ZobristEp[256];
uint32_t ZobristPawn[2][128];
uint64_t ZobristSide;

void SeedRandom(uint32_t seed) { RandomSeed = seed; }

uint32_t RandomDraw(uint32_t& seed, uint32_t range) {
    seed = seed * 134775813u + 1u;
    return uint32_t((uint64_t(seed) * range) >> 32);
}

uint32_t RandomDraw(uint32_t range) { return RandomDraw(RandomSeed, range); }

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
    for (int bit = 1; bit < 16; bit <<= 1) ZobristCastle[bit] = Random64();
    for (int rights = 1; rights < 16; ++rights)
        ZobristCastle[rights] =
            ZobristCastle[rights & (rights - 1)] ^ ZobristCastle[rights & -rights];
    for (auto& k : ZobristEp) k = Random64();
    for (auto& row : ZobristPawn)
        for (auto& k : row) k = Random32();
    ZobristEp[NoSquare] = 0;
    ZobristSide = Random64();
    // A Chess960 right whose rook does not start in a corner has a key of its own, by colour
    // and file. These come from a generator of their own, seeded from the keys above, so that
    // the engine's sequence goes on exactly as it did before Chess960.
    uint64_t state = ZobristSide;
    for (auto& row : ZobristCastleRook)
        for (auto& k : row) {
            state += 0x9E3779B97F4A7C15ull;
            uint64_t z = state;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            k = z ^ (z >> 31);
        }
}

void SetCastlingKeys(CastlingRules& rules) {
    uint64_t bitKeys[4];
    for (int right = 0; right < 4; ++right) {
        const Square rook = rules.rookFrom[right];
        const bool corner = rook == (right & 1 ? A1 : H1) + (right & 2 ? A8 - A1 : 0);
        bitKeys[right] =
            corner ? ZobristCastle[1 << right] : ZobristCastleRook[right >> 1][rook & 7];
    }
    rules.keys[0] = 0;
    for (int rights = 1; rights < 16; ++rights)
        rules.keys[rights] = rules.keys[rights & (rights - 1)] ^ bitKeys[__builtin_ctz(rights)];
}

uint64_t ComputeKey(const Position& pos, int ply) {
    const PlyState& ps = pos.ply[ply];
    uint64_t key = 0;
    for (int s = 0; s < 128; ++s)
        if (OnBoard(s) && pos.board[s]) key ^= ZobristPiece[PieceIndex(pos.board[s])][s];
    key ^= pos.castlingRules.keys[ps.castling & 15];
    key ^= ZobristEp[ps.epSquare];
    if (ps.side == 1) key ^= ZobristSide;
    return key;
}

uint32_t ComputePawnKey(const Position& pos) {
    uint32_t key = 0;
    for (int s = 0; s < 128; ++s) {
        if (!OnBoard(s)) continue;
        if (pos.board[s] == WhitePawn) key ^= ZobristPawn[0][s];
        if (pos.board[s] == BlackPawn) key ^= ZobristPawn[1][s];
    }
    return key;
}

// ---------------------------------------------------------------------------------------
// The transposition and pawn tables.

int32_t HashSizeMB = HashDefaultMB;
int32_t HashEntries;
int32_t PawnEntries;

// 2^64 / PawnEntries, rounded up: with it a 32-bit remainder is two multiplications instead
// of a division, and exactly equal to it for every 32-bit value.
static uint64_t PawnReciprocal;
HashEntry* TranspositionTable;
uint8_t HashAge;

constexpr int32_t MateStoreLimit = 99900;  // scores beyond this are mate scores

// Packing of a transposition-table entry's data word.
constexpr int ScoreShift = 20, DepthShift = 38, AgeShift = 46, BoundShift = 54;

static uint64_t PackEntry(Move move, int32_t score, uint8_t depth, uint8_t age, uint8_t bound) {
    const uint64_t packedMove = uint64_t(FromOf(move) & 127) | uint64_t(ToOf(move) & 127) << 7 |
                                uint64_t(CapturedOf(move) & 7) << 14 |
                                uint64_t(PromotionOf(move) & 7) << 17;
    return packedMove | (uint64_t(uint32_t(score)) & 0x3FFFF) << ScoreShift |
           uint64_t(depth) << DepthShift | uint64_t(age) << AgeShift |
           uint64_t(bound & 3) << BoundShift;
}

static Move EntryMove(uint64_t data) {
    return MakeMoveWord(int(data & 127), int(data >> 7 & 127), int(data >> 14 & 7),
                        int(data >> 17 & 7));
}
static int32_t EntryScore(uint64_t data) {
    return int32_t(uint32_t(data >> ScoreShift << 14)) >> 14;  // sign-extend 18 bits
}
static uint8_t EntryDepth(uint64_t data) { return uint8_t(data >> DepthShift); }
static uint8_t EntryAge(uint64_t data) { return uint8_t(data >> AgeShift); }
static uint8_t EntryBound(uint64_t data) { return uint8_t(data >> BoundShift & 3); }

static void SlotCounts(int32_t sizeMB, int32_t& entries, int32_t& pawnEntries) {
    int32_t pawnMB = sizeMB / 16;
    if (pawnMB == 0) pawnMB = 1;
    int32_t tableMB = sizeMB - pawnMB;
    entries = int32_t(double(tableMB * 1048576) / 24);
    pawnEntries = int32_t(double(pawnMB * 1048576) / 12);
}

void ReleaseHash() {
    operator delete[](TranspositionTable, std::align_val_t(64));
    TranspositionTable = nullptr;
    HashEntries = PawnEntries = 0;
}

void AllocateHash() {
    if (HashSizeMB < HashMinMB) HashSizeMB = HashMinMB;
    if (HashSizeMB > HashMaxMB) HashSizeMB = HashMaxMB;
    ReleaseHash();
    // Settle for less when the memory cannot be had; the engine never runs without tables.
    for (int32_t size = HashSizeMB;; size = size > HashMinMB ? size / 2 : 0) {
        if (size < HashMinMB) size = HashMinMB;
        SlotCounts(size, HashEntries, PawnEntries);
        TranspositionTable =
            new (std::align_val_t(64), std::nothrow) HashEntry[size_t(HashEntries)];
        if (TranspositionTable) {
            HashSizeMB = size;
            PawnReciprocal = UINT64_MAX / uint32_t(PawnEntries) + 1;
            break;
        }
        ReleaseHash();
        if (size == HashMinMB) {
            std::fputs("sorvane: cannot allocate the hash tables\n", stderr);
            std::exit(1);
        }
    }
    ClearHash();
}

void ClearHash() {
    // Read once: the compiler would reload the globals after every atomic store.
    HashEntry* const table = TranspositionTable;
    const int32_t entries = HashEntries;
    for (int32_t i = 0; i < entries; ++i) {
        table[i].check.store(0, std::memory_order_relaxed);
        table[i].data.store(0, std::memory_order_relaxed);
    }
    HashAge = 0;
}

PawnTable::~PawnTable() { delete[] entries; }

void AllocatePawnTable(PawnTable& table) {
    delete[] table.entries;
    table.entries = new (std::nothrow) PawnEntry[size_t(PawnEntries)];
    if (!table.entries) {
        std::fputs("sorvane: cannot allocate a pawn table\n", stderr);
        std::exit(1);
    }
    ClearPawnTable(table);
}

void ClearPawnTable(PawnTable& table) {
    for (int32_t i = 0; i < PawnEntries; ++i) table.entries[i] = PawnEntry{};
}

uint32_t HashSlot(uint64_t key) {
    const uint64_t magnitude = int64_t(key) < 0 ? 0 - key : key;
    return uint32_t(magnitude % uint64_t(HashEntries));
}

uint32_t PawnSlot(uint32_t pawnKey) {
    uint32_t magnitude = int32_t(pawnKey) < 0 ? 0 - pawnKey : pawnKey;
    const uint64_t fraction = PawnReciprocal * magnitude;
    return uint32_t((static_cast<unsigned __int128>(fraction) * uint32_t(PawnEntries)) >> 64);
}

// Writes both words of a slot; relaxed, since the key test, not the order, guards a reader.
static void WriteEntry(HashEntry& e, uint64_t key, uint64_t data) {
    e.check.store(key ^ data, std::memory_order_relaxed);
    e.data.store(data, std::memory_order_relaxed);
}

void HashStore(uint64_t key, uint8_t depth, uint8_t bound, int32_t score, Move move) {
    if (score > MateStoreLimit || score < -MateStoreLimit) return;
    HashEntry& e = TranspositionTable[HashSlot(key)];
    const uint64_t old = e.data.load(std::memory_order_relaxed);
    if (EntryDepth(old) > depth && EntryAge(old) == HashAge) return;
    WriteEntry(e, key, PackEntry(move, score, depth, HashAge, bound));
}

void HashStorePv(uint64_t key, uint8_t depth, int32_t score, Move move) {
    WriteEntry(TranspositionTable[HashSlot(key)], key,
               PackEntry(move, score, depth, HashAge, BoundExact));
}

HashHit HashProbe(uint64_t key) {
    const HashEntry& e = TranspositionTable[HashSlot(key)];
    const uint64_t data = e.data.load(std::memory_order_relaxed);
    if ((e.check.load(std::memory_order_relaxed) ^ data) != key) return HashHit{};
    return HashHit{EntryMove(data), EntryBound(data), EntryDepth(data), EntryScore(data)};
}

bool PawnProbe(const PawnTable& table, uint32_t pawnKey, int& whitePawns, int& blackPawns,
               int32_t& score) {
    const PawnEntry& e = table.entries[PawnSlot(pawnKey)];
    if (e.pawnKey != pawnKey) return false;
    whitePawns = e.whitePawns;
    blackPawns = e.blackPawns;
    score = e.score;
    return true;
}

void PawnStore(PawnTable& table, uint32_t pawnKey, int whitePawns, int blackPawns, int32_t score) {
    PawnEntry& e = table.entries[PawnSlot(pawnKey)];
    e.pawnKey = pawnKey;
    e.whitePawns = uint8_t(whitePawns);
    e.blackPawns = uint8_t(blackPawns);
    e.score = score;
}
