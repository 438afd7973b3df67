// The static evaluation: worked values, terms where a sign or direction fault would show,
// colour symmetry, and the pawn cache.
#include "eval/eval.h"

#include <gtest/gtest.h>

#include "board/fen.h"
#include "movemake/hash.h"
#include "tests/support.h"

namespace {

constexpr int32_t Inf = 100000;

int32_t Eval(const std::string& fen, int32_t alpha = -Inf, int32_t beta = Inf) {
    SetPosition(fen);
    return Evaluate(0, alpha, beta);
}

TEST(Evaluate, WorkedTotals) {
    EXPECT_EQ(Eval("k7/8/8/8/8/8/8/3QK3 w - - 0 1"), 2049);
    EXPECT_EQ(Eval("8/8/8/8/8/8/8/k2QK3 w - - 0 1"), 2105);
    EXPECT_EQ(Eval("2b1k3/8/8/8/8/8/8/R3K3 w - - 0 1"), 21);
    EXPECT_EQ(Eval("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1"), -13);
    EXPECT_EQ(Eval("k7/8/8/8/8/8/8/3QK3 b - - 0 1"), -2049);
}

TEST(Evaluate, BalancedAndDrawnPositionsScoreZero) {
    EXPECT_EQ(Eval(StartFen), 0);
    EXPECT_EQ(Eval("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"), 0);
    for (const char* fen : {"4k3/8/8/8/8/8/8/2N1K3 w - -", "4k3/8/8/8/8/8/8/1NN1K3 w - -",
                            "4k3/8/8/8/8/8/8/2B1K3 b - -", "r3k3/8/8/8/8/8/8/R3K3 w - -",
                            "2n1k3/8/8/8/8/8/8/2B1K3 w - -", "2n1k3/8/8/8/8/8/8/4K3 w - -"})
        EXPECT_EQ(Eval(fen), 0) << fen;
}

TEST(Evaluate, LazyExitWindows) {
    const char* rookUp = "r3k3/pppppppp/8/8/8/8/PPPPPPPP/R2RK3 w - - 0 1";
    EXPECT_EQ(Eval(rookUp, 1100, 1101), 600);
    EXPECT_EQ(Eval(rookUp, -300, -299), 600);
    int32_t full = Eval(rookUp);
    EXPECT_NE(full, 600);
    EXPECT_EQ(Eval(rookUp, 800, 801), full);    // close to the balance: full evaluation
    EXPECT_EQ(Eval(rookUp, 1100, 1102), full);  // not a null window
    const char* rookUpBlackToMove = "r3k3/pppppppp/8/8/8/8/PPPPPPPP/R2RK3 b - - 0 1";
    EXPECT_EQ(Eval(rookUpBlackToMove, -1100, -1099), -600);
    // Too little material on one side: no lazy exit.
    EXPECT_NE(Eval("4k3/8/8/8/8/8/8/R2RK3 w - - 0 1", 1100, 1101), 1200);
}

TEST(Evaluate, KingShelter) {
    // g3 instead of g2: the shelter costs 10 more, the pawn table gives 1 and the passed
    // g-pawn 10 more, so the total rises by 1. A flipped shelter sign would show as 21.
    int32_t home = Eval("r2q3k/8/8/8/8/8/5PPP/6K1 w - - 0 1");
    int32_t advanced = Eval("r2q3k/8/8/8/8/6P1/5P1P/6K1 w - - 0 1");
    EXPECT_EQ(advanced - home, 1);
    // The same for black, in the colour mirror.
    EXPECT_EQ(Eval("6k1/5ppp/8/8/8/8/8/R2Q3K b - - 0 1"), home);
    EXPECT_EQ(Eval("6k1/5p1p/6p1/8/8/8/8/R2Q3K b - - 0 1"), advanced);
}

TEST(Evaluate, PawnStructureSigns) {
    // c2+c3 against c2 alone: one more pawn (100), its table value (8), the doubling
    // (2 x 6) and the passed bonus of the front pawn rising from rank 2 to rank 3 (10 to 20).
    int32_t one = Eval("4k3/8/8/8/8/8/2P5/4K3 w - - 0 1");
    int32_t two = Eval("4k3/8/8/8/8/2P5/2P5/4K3 w - - 0 1");
    EXPECT_EQ(two - one, 100 + 8 - 12 + 10);
    int32_t blackOne = Eval("4k3/2p5/8/8/8/8/8/4K3 w - - 0 1");
    int32_t blackTwo = Eval("4k3/2p5/2p5/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(blackTwo - blackOne, -(100 + 8 - 12 + 10));
    // Against e5, a black pawn on d6 takes the passed bonus (50) away; on d5 it does not and
    // is passed itself (-30); its table value differs by 13.
    int32_t d6 = Eval("4k3/8/3p4/4P3/8/8/8/4K3 w - - 0 1");
    int32_t d5 = Eval("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(d5 - d6, 50 - 30 - 13);
    // No neighbours: with a- and c-pawns only, files a and c have no neighbouring pawn. A
    // b-pawn removes those two penalties (13 + 15) and brings 100, its table value 3 and its
    // own passed bonus of 10.
    int32_t apart = Eval("4k3/8/8/8/8/8/P1P5/4K3 w - - 0 1");
    int32_t joined = Eval("4k3/8/8/8/8/8/PPP5/4K3 w - - 0 1");
    EXPECT_EQ(joined - apart, 100 + 3 + 10 + 13 + 15);
}

// Random middlegame and endgame positions from random games, at most one queen per side.
std::vector<std::string> RandomPositions(int count) {
    std::vector<std::string> fens;
    SeedRandom(4242);
    const char* starts[] = {StartFen,
                            "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                            "4k3/pp3ppp/8/8/8/8/PP3PPP/4K3 w - - 0 1",
                            "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 0 1"};
    while (int(fens.size()) < count) {
        SetPosition(starts[fens.size() % 4]);
        PlayRandomMoves(int(RandomDraw(120)));
        int queens[2] = {0, 0};
        for (int s = 0; s < 128; ++s)
            if (OnBoard(s) && TypeOf(Board[s]) == Queen) ++queens[SideOf(Board[s])];
        if (queens[0] <= 1 && queens[1] <= 1) fens.push_back(PositionToFen(0));
    }
    return fens;
}

TEST(Evaluate, ColourMirrorScoresTheSame) {
    for (const std::string& fen : RandomPositions(400)) {
        std::string mirror = MirrorFen(fen);
        EXPECT_EQ(Eval(fen), Eval(mirror)) << fen << "  vs  " << mirror;
    }
}

TEST(Evaluate, PawnCacheHitEqualsMiss) {
    for (const std::string& fen : RandomPositions(200)) {
        ClearHash();
        int32_t miss = Eval(fen);
        int32_t hit = Eval(fen);
        EXPECT_EQ(miss, hit) << fen;
    }
}

TEST(EvalTables, GeometryAndMirrors) {
    EXPECT_EQ(Distance[0x34][0x34], 0);
    EXPECT_EQ(Distance[A1][0x21], 2);
    EXPECT_EQ(Distance[A1][H8], 9);
    EXPECT_EQ(Distance[A1][0x17], 7);
    EXPECT_EQ(Distance[A1][0x08], 0);          // off-board index
    EXPECT_EQ(PawnSquareTable[1][0x63], -15);  // black d7
    EXPECT_EQ(PawnSquareTable[1][0x10], 15);   // black a2
    EXPECT_EQ(KnightSquareTable[1][0x71], -14);
    EXPECT_EQ(LightCornerTable[A8], 100);
    EXPECT_EQ(LightCornerTable[H1], 100);
    EXPECT_EQ(LightCornerTable[A1], 20);
    EXPECT_EQ(DarkCornerTable[A1], 100);
    EXPECT_EQ(DarkCornerTable[A8], 20);
    EXPECT_EQ(DarkSquare[A1], 1);
    EXPECT_EQ(KingEndSquareTable[0][0x27], 8);
}

}  // namespace
