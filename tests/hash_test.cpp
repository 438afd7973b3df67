// The transposition and pawn tables.
#include "movemake/hash.h"

#include <gtest/gtest.h>

#include "board/fen.h"

namespace {

// Restores the default tables whatever a test did to them.
struct HashTest : testing::Test {
    void SetUp() override {
        HashSizeMB = 4;
        AllocateHash();
        SetPosition(StartFen);
    }
    void TearDown() override {
        HashSizeMB = HashDefaultMB;
        AllocateHash();
    }
    void Store(uint8_t depth, int32_t score, Move move, uint8_t bound = BoundExact) {
        Ply[0].hashBound = bound;
        HashStore(depth, 0, score, move);
    }
};

TEST_F(HashTest, SlotCountsFollowTheSize) {
    struct Case {
        int32_t mb, entries, pawnEntries;
    };
    for (Case c : {Case{4, 131072, 87381}, Case{32, 1310720, 174762}, Case{512, 20971520, 2796202},
                   Case{0, 131072, 87381}, Case{1, 131072, 87381}, Case{-5, 131072, 87381},
                   Case{100000, 20971520, 2796202}}) {
        HashSizeMB = c.mb;
        AllocateHash();
        EXPECT_EQ(HashEntries, c.entries) << c.mb;
        EXPECT_EQ(PawnEntries, c.pawnEntries) << c.mb;
        EXPECT_GE(HashSizeMB, HashMinMB);
        EXPECT_LE(HashSizeMB, HashMaxMB);
    }
}

TEST_F(HashTest, StoreAndProbe) {
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashBound, BoundNone);
    EXPECT_EQ(Ply[0].hashMove, 0u);
    Store(5, 37, 0x1C0C, BoundLower);
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashBound, BoundLower);
    EXPECT_EQ(Ply[0].hashScore, 37);
    EXPECT_EQ(Ply[0].hashDepth, 5);
    EXPECT_EQ(Ply[0].hashMove, 0x1C0Cu);
    // A miss clears move and bound but leaves score and depth as they were.
    Ply[1].key = Ply[0].key ^ 1;
    Ply[1].hashScore = 11;
    Ply[1].hashDepth = 3;
    HashProbe(1);
    EXPECT_EQ(Ply[1].hashBound, BoundNone);
    EXPECT_EQ(Ply[1].hashScore, 11);
    EXPECT_EQ(Ply[1].hashDepth, 3);
    ClearHash();
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashBound, BoundNone);
}

TEST_F(HashTest, ReplacementByDepthAndAge) {
    Store(6, 10, 1);
    Store(5, 20, 2);  // shallower, same search: kept out
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashScore, 10);
    Store(6, 30, 3);  // equal depth overwrites
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashScore, 30);
    // The rule looks at the slot, not the position: another key in the slot is protected too.
    uint64_t own = Ply[0].key;
    Ply[0].key = own + uint64_t(HashEntries);  // same slot, other position
    Store(2, 40, 4);
    Ply[0].key = own;
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashScore, 30);
    ++HashAge;  // the next search may replace anything
    Store(1, 50, 5);
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashScore, 50);
}

TEST_F(HashTest, MateScoresAreNotStored) {
    Store(3, 99901, 1);
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashBound, BoundNone);
    Store(3, -99901, 1);
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashBound, BoundNone);
    Store(3, 99900, 1);
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashScore, 99900);
}

TEST_F(HashTest, KeysWithTheTopBitUseTheirMagnitude) {
    uint64_t k = 123456789;
    EXPECT_EQ(HashSlot(0 - k), HashSlot(k));
    EXPECT_EQ(HashSlot(0x8000000000000000ull), uint32_t((1ull << 63) % uint64_t(HashEntries)));
    EXPECT_EQ(PawnSlot(0u - 77u), PawnSlot(77u));
    EXPECT_EQ(PawnSlot(0x80000000u), uint32_t((1ull << 31) % uint32_t(PawnEntries)));
    // Two keys that share a slot are told apart by the full key.
    Ply[0].key = k;
    Store(4, 12, 7);
    Ply[0].key = 0 - k;
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashBound, BoundNone);
}

TEST_F(HashTest, SlotEqualsTheRemainder) {
    SeedRandom(6);
    for (int32_t mb : {4, 32, 100, 512}) {
        HashSizeMB = mb;
        AllocateHash();
        const uint64_t entries = uint64_t(HashEntries);
        for (uint64_t key : std::initializer_list<uint64_t>{
                 0, 1, 0x7FFFFFFFFFFFFFFF, 0x8000000000000000, 0x8000000000000001, ~0ull, entries,
                 entries - 1, entries + 1, entries * entries,
                 0x7FFFFFFFFFFFFFFFull / entries * entries}) {
            uint64_t magnitude = int64_t(key) < 0 ? 0 - key : key;
            EXPECT_EQ(HashSlot(key), magnitude % entries) << key;
        }
        for (int i = 0; i < 100000; ++i) {
            uint64_t key = Random64();
            uint64_t magnitude = int64_t(key) < 0 ? 0 - key : key;
            ASSERT_EQ(HashSlot(key), magnitude % entries) << key;
        }
    }
}

TEST_F(HashTest, PawnSlotEqualsTheRemainder) {
    SeedRandom(5);
    for (int32_t mb : {4, 32, 100, 512}) {
        HashSizeMB = mb;
        AllocateHash();
        for (uint32_t key : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFFu,
                             uint32_t(PawnEntries), uint32_t(PawnEntries) - 1}) {
            uint32_t magnitude = int32_t(key) < 0 ? 0 - key : key;
            EXPECT_EQ(PawnSlot(key), magnitude % uint32_t(PawnEntries)) << key;
        }
        for (int i = 0; i < 100000; ++i) {
            uint32_t key = Random32();
            uint32_t magnitude = int32_t(key) < 0 ? 0 - key : key;
            ASSERT_EQ(PawnSlot(key), magnitude % uint32_t(PawnEntries)) << key;
        }
    }
}

TEST_F(HashTest, PawnTable) {
    int white = -1, black = -1;
    int32_t score = -1;
    EXPECT_TRUE(PawnProbe(0, white, black, score));  // an empty slot matches key 0
    EXPECT_EQ(score, 0);
    EXPECT_FALSE(PawnProbe(12345, white, black, score));
    PawnStore(12345, 8, 7, -42);
    ASSERT_TRUE(PawnProbe(12345, white, black, score));
    EXPECT_EQ(white, 8);
    EXPECT_EQ(black, 7);
    EXPECT_EQ(score, -42);
    PawnStore(99, 20, 17, 5);  // counts above 15 stay apart
    ASSERT_TRUE(PawnProbe(99, white, black, score));
    EXPECT_EQ(white, 20);
    EXPECT_EQ(black, 17);
}

}  // namespace
