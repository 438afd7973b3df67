// The bitboard answers against the ray walks they replaced.
#include "movegen/bitboard.h"

#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "movemake/hash.h"
#include "tests/fuzz/harness.h"
#include "tests/support.h"

namespace {

// The attacks of a rook (rays 0..3) or a bishop (rays 4..7) walked over an occupancy.
uint64_t WalkedSliderAttacks(Square s, int firstRay, uint64_t occupied) {
    uint64_t attacks = 0;
    for (int d = firstRay; d < firstRay + 4; ++d)
        for (int t = s + KingOffsets[d]; t >= 0 && OnBoard(t); t += KingOffsets[d]) {
            attacks |= SquareBit(Square(t));
            if (occupied & SquareBit(Square(t))) break;
        }
    return attacks;
}

// Every occupancy of a square's lines, and random ones of the whole board, edges included.
TEST(Bitboards, SliderAttacksForEveryOccupancy) {
    uint32_t seed = 5;
    for (int s = 0; s < 128; ++s) {
        if (!OnBoard(s)) continue;
        for (int firstRay : {0, FirstDiagonalRay}) {
            const uint64_t lines = WalkedSliderAttacks(Square(s), firstRay, 0);
            uint64_t subset = 0;
            do {
                const uint64_t attacks =
                    firstRay ? BishopAttacks(Square(s), subset) : RookAttacks(Square(s), subset);
                ASSERT_EQ(attacks, WalkedSliderAttacks(Square(s), firstRay, subset))
                    << SquareNames[s] << " occupancy " << subset;
                subset = (subset - lines) & lines;
            } while (subset);
            for (int i = 0; i < 200; ++i) {
                const uint64_t occupied = uint64_t(RandomDraw(seed, 1u << 31)) << 33 ^
                                          uint64_t(RandomDraw(seed, 1u << 31)) << 2;
                const uint64_t attacks = firstRay ? BishopAttacks(Square(s), occupied)
                                                  : RookAttacks(Square(s), occupied);
                ASSERT_EQ(attacks, WalkedSliderAttacks(Square(s), firstRay, occupied));
            }
        }
    }
}

// Every attack question, both move lists word for word (their order breaks the ties of the
// move ordering's stable sort), the legal move count and the mobility, from the bitboards and
// from the ray walks they replaced, in positions from random games, random placements and the
// fuzzers' FEN corpus. The fuzzers and the playouts ask the same of every position they visit.
TEST(Bitboards, AnswersAgreeWithRayWalks) {
    for (const std::string& fen : PropertyPositions()) {
        SetPosition(TestPosition(), fen);
        ASSERT_EQ(CheckBitboardAnswers(TestPosition(), 0), "") << fen;
    }
}

}  // namespace
