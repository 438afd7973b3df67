// Attack detection where a fault in the scan would show.
#include "movegen/attack.h"

#include <gtest/gtest.h>

#include "board/fen.h"

namespace {

Square Sq(const char* name) { return Square((name[1] - '1') * 16 + (name[0] - 'a')); }

// True when black attacks the named square (IsAttacked asks on behalf of white).
bool BlackAttacks(const char* square) { return IsAttacked(0, 0, Sq(square)); }
bool WhiteAttacks(const char* square) { return IsAttacked(1, 0, Sq(square)); }

TEST(Attack, KingReachesOneSquareOnly) {
    SetPosition("8/8/8/8/4k3/8/8/K7 w - -");
    EXPECT_TRUE(BlackAttacks("e3"));
    EXPECT_TRUE(BlackAttacks("d3"));
    EXPECT_TRUE(BlackAttacks("f5"));
    EXPECT_FALSE(BlackAttacks("e2"));
    EXPECT_FALSE(BlackAttacks("c2"));
    EXPECT_FALSE(BlackAttacks("g4"));
}

TEST(Attack, PawnsCaptureForwardDiagonallyOnly) {
    SetPosition("8/8/8/4p3/4P3/8/8/8 w - -");
    EXPECT_TRUE(BlackAttacks("d4"));
    EXPECT_TRUE(BlackAttacks("f4"));
    EXPECT_FALSE(BlackAttacks("d6"));
    EXPECT_FALSE(BlackAttacks("f6"));
    EXPECT_FALSE(BlackAttacks("e4"));
    EXPECT_TRUE(WhiteAttacks("d5"));
    EXPECT_TRUE(WhiteAttacks("f5"));
    EXPECT_FALSE(WhiteAttacks("d3"));
    EXPECT_FALSE(WhiteAttacks("e5"));
}

TEST(Attack, SlidersAreBlockedByEitherColour) {
    SetPosition("r7/8/8/8/N7/8/8/b7 w - -");
    EXPECT_TRUE(BlackAttacks("a5"));
    EXPECT_TRUE(BlackAttacks("a4"));   // the blocker itself is attacked
    EXPECT_FALSE(BlackAttacks("a3"));  // behind the white knight
    EXPECT_FALSE(BlackAttacks("a2"));  // a bishop does not move along a file
    SetPosition("8/8/8/8/8/2p5/8/b7 w - -");
    EXPECT_TRUE(BlackAttacks("b2"));
    EXPECT_FALSE(BlackAttacks("d4"));  // behind a black pawn
    SetPosition("8/8/8/8/3Q4/8/8/8 b - -");
    EXPECT_TRUE(WhiteAttacks("d8"));
    EXPECT_TRUE(WhiteAttacks("h8"));
    EXPECT_TRUE(WhiteAttacks("a1"));
    EXPECT_FALSE(WhiteAttacks("e6"));
}

TEST(Attack, RaysStopAtEveryEdge) {
    // Past the h-file a step lands in a hole; without the test the rook would reach a2.
    SetPosition("8/8/8/8/8/8/8/7r w - -");
    EXPECT_FALSE(BlackAttacks("a2"));
    EXPECT_TRUE(BlackAttacks("a1"));
    // Below rank 1 a step wraps past 0; without the test the rook would come round to a8.
    SetPosition("8/8/8/8/8/8/P7/r7 w - -");
    EXPECT_FALSE(BlackAttacks("a8"));
    SetPosition("R7/p7/8/8/8/8/8/8 b - -");
    EXPECT_FALSE(WhiteAttacks("a1"));
    // Knight jumps that leave the board are skipped.
    SetPosition("8/8/8/8/8/8/8/n7 w - -");
    EXPECT_TRUE(BlackAttacks("b3"));
    EXPECT_TRUE(BlackAttacks("c2"));
    EXPECT_FALSE(BlackAttacks("h2"));
    EXPECT_FALSE(BlackAttacks("g8"));
    SetPosition("8/8/8/8/8/8/8/7n w - -");
    EXPECT_FALSE(BlackAttacks("a2"));
    EXPECT_FALSE(BlackAttacks("a3"));
    EXPECT_TRUE(BlackAttacks("f2"));
    EXPECT_TRUE(BlackAttacks("g3"));
}

TEST(Attack, KingSquareComesFromThePlyRecord) {
    SetPosition("4k3/8/8/8/8/8/8/r3K3 w - -");
    EXPECT_TRUE(IsAttacked(0, 0, NoSquare));
    EXPECT_FALSE(IsAttacked(1, 0, NoSquare));
    Ply[0].kingSquare[0] = Sq("e2");  // trusted even though no king stands there
    EXPECT_FALSE(IsAttacked(0, 0, NoSquare));
    SetPosition(StartFen);
}

}  // namespace
