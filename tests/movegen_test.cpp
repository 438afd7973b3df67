// Move generation: perft against published counts, and the fixed generation order.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/fen.h"
#include "movegen/genkills.h"
#include "movegen/genmoves.h"
#include "movemake/hash.h"
#include "tests/support.h"
#include "uci/tests.h"

namespace {

int64_t CountLeaves(const std::string& fen, int depth) {
    SetPosition(fen);
    PerftNodes = 0;
    Perft(depth, 0);
    return PerftNodes;
}

// The move texts a generator lists for a position, in its order.
std::vector<std::string> ListedTexts(const std::string& fen, void (*generate)(int)) {
    SetPosition(fen);
    generate(0);
    std::vector<std::string> texts;
    for (int k = 1; k <= Ply[0].moveCount; ++k) texts.push_back(MoveToText(MoveTable[0][k]));
    return texts;
}

std::vector<std::string> GeneratedTexts(const std::string& fen) {
    return ListedTexts(fen, GenerateMoves);
}

struct PerftCase {
    const char* fen;
    int depth;
    int64_t leaves;
    bool longCase;
};

// Published counts; together they exercise castling, en passant, promotions and checks.
const PerftCase PerftCases[] = {
    {StartFen, 4, 197281, false},
    {StartFen, 5, 4865609, true},
    {SelfTestFen, 3, 97862, false},
    {SelfTestFen, 4, 4085603, true},
    {SelfTestFen, 5, 193690690, true},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 5, 674624, false},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 6, 11030083, true},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 4, 422333, false},
    {"r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1", 4, 422333, false},
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 4, 2103487, true},
    {"n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1", 5, 3605103, true},
    {"8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1", 3, 863, false},  // en passant would expose the king
    // A rook captured in its corner loses its castling right: the second white rook that
    // reaches h8 must not give black an illegal castling.
    {"4k2r/8/8/7R/8/8/7r/4K3 w k - 0 1", 4, 95436, false},
};

TEST(Perft, PublishedCounts) {
    for (const PerftCase& c : PerftCases) {
        if (c.longCase && !SORVANE_LONG_TESTS) continue;
        EXPECT_EQ(CountLeaves(c.fen, c.depth), c.leaves) << c.fen << " depth " << c.depth;
    }
}

TEST(Generation, StartPositionOrderForBothSides) {
    EXPECT_EQ(GeneratedTexts(StartFen),
              (std::vector<std::string>{"b1a3", "b1c3", "g1f3", "g1h3", "a2a3", "a2a4", "b2b3",
                                        "b2b4", "c2c3", "c2c4", "d2d3", "d2d4", "e2e3", "e2e4",
                                        "f2f3", "f2f4", "g2g3", "g2g4", "h2h3", "h2h4"}));
    EXPECT_EQ(GeneratedTexts("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"),
              (std::vector<std::string>{"a7a6", "a7a5", "b7b6", "b7b5", "c7c6", "c7c5", "d7d6",
                                        "d7d5", "e7e6", "e7e5", "f7f6", "f7f5", "g7g6", "g7g5",
                                        "h7h6", "h7h5", "b8c6", "b8a6", "g8h6", "g8f6"}));
}

TEST(Generation, SelfTestPositionOrder) {
    EXPECT_EQ(GeneratedTexts(SelfTestFen),
              (std::vector<std::string>{
                  "a1b1", "a1c1", "a1d1", "e1g1", "e1c1", "e1f1", "e1d1", "h1g1", "h1f1", "a2a3",
                  "a2a4", "b2b3", "d2e3", "d2f4", "d2g5", "d2h6", "d2c1", "e2d3", "e2c4", "e2b5",
                  "e2a6", "e2f1", "e2d1", "g2h3", "g2g3", "g2g4", "c3a4", "c3b5", "c3d1", "c3b1",
                  "f3g3", "f3h3", "f3e3", "f3d3", "f3f4", "f3f5", "f3f6", "f3g4", "f3h5", "d5e6",
                  "d5d6", "e5c6", "e5g4", "e5g6", "e5c4", "e5d7", "e5f7", "e5d3"}));
}

TEST(Generation, PawnSpecialMoves) {
    // En passant comes before the push and carries a captured pawn.
    SetPosition("4k2K/8/8/4Pp2/8/8/8/8 w - f6");
    GenerateMoves(0);
    EXPECT_EQ(MoveTable[0][1], MakeMoveWord(0x44, 0x55, Pawn));
    EXPECT_EQ(MoveToText(MoveTable[0][2]), "e5e6");
    // Promotions: captures towards the a-file, towards the h-file, then the push.
    auto texts = GeneratedTexts("r1r1k2K/1P6/8/8/8/8/8/8 w - -");
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 12),
              (std::vector<std::string>{"b7a8q", "b7a8r", "b7a8b", "b7a8n", "b7c8q", "b7c8r",
                                        "b7c8b", "b7c8n", "b7b8q", "b7b8r", "b7b8b", "b7b8n"}));
    texts = GeneratedTexts("4k3/8/8/8/8/8/1p6/R1R1K3 b - -");
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 12),
              (std::vector<std::string>{"b2c1q", "b2c1r", "b2c1b", "b2c1n", "b2a1q", "b2a1r",
                                        "b2a1b", "b2a1n", "b2b1q", "b2b1r", "b2b1b", "b2b1n"}));
    // Blocked pawns.
    EXPECT_EQ(GeneratedTexts("4k3/8/8/8/8/P7/P7/7K w - -").size(), 4u);  // a3a4, K moves
    texts = GeneratedTexts("4k3/8/8/8/p7/8/P7/7K w - -");
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "a2a3"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "a2a4"), 0);
}

TEST(Generation, CastlingConditions) {
    auto hasMove = [](const std::string& fen, const std::string& move) {
        auto texts = GeneratedTexts(fen);
        return std::find(texts.begin(), texts.end(), move) != texts.end();
    };
    EXPECT_TRUE(hasMove("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1g1"));
    EXPECT_TRUE(hasMove("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1c1"));
    EXPECT_TRUE(hasMove("r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8c8"));
    EXPECT_FALSE(hasMove("r3k2r/8/8/8/8/8/8/R3K2R w Qkq -", "e1g1"));    // no right
    EXPECT_FALSE(hasMove("r3k2r/8/8/8/8/8/8/R3K1NR w KQkq -", "e1g1"));  // blocked
    EXPECT_FALSE(hasMove("r3k2r/8/8/8/8/8/8/R3K2N w KQkq -", "e1g1"));   // no rook
    EXPECT_FALSE(hasMove("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1e1"));
    EXPECT_FALSE(hasMove("r3k2r/4r3/8/8/8/8/8/R3K2R w KQkq -", "e1g1"));   // in check
    EXPECT_FALSE(hasMove("r3k2r/5r2/8/8/8/8/8/R3K2R w KQkq -", "e1g1"));   // crosses f1
    EXPECT_FALSE(hasMove("r3k2r/3r4/8/8/8/8/8/R3K2R w KQkq -", "e1c1"));   // crosses d1
    EXPECT_TRUE(hasMove("r3k2r/1r6/8/8/8/8/8/R3K2R w KQkq -", "e1c1"));    // only b1 attacked
    EXPECT_FALSE(hasMove("r3k2r/1r6/8/8/8/8/8/RN2K2R w KQkq -", "e1c1"));  // b1 occupied
}

TEST(MoveWord, FieldsAndText) {
    Move ep = MakeMoveWord(68, 83, Pawn);
    EXPECT_EQ(FromOf(ep), 68);
    EXPECT_EQ(ToOf(ep), 83);
    EXPECT_TRUE(IsTactical(ep));
    Move promo = MakeMoveWord(97, 112, Rook, Knight);
    EXPECT_EQ(MoveToText(promo), "b7a8n");
    EXPECT_TRUE(IsPromotion(promo));
    EXPECT_EQ(MoveToText(NoMove), "a1a1");
    EXPECT_EQ(MakeMoveWord(E1, G1), 0x0604u);
    EXPECT_EQ(MakeMoveWord(E8, C8), 0x7274u);
}

TEST(MoveWord, CrowdedPositionsFitTheList) {
    // Many queens give the largest lists a FEN can produce; the lists hold them all.
    for (const char* fen : {"QQQQQQQQ/8/8/8/8/8/8/QQQQQQQK w - -",
                            "1Q1Q1Q1Q/8/Q1Q1Q1Q1/8/1Q1Q1Q1Q/8/Q1Q1Q1Q1/k6K w - -"}) {
        SetPosition(fen);
        GenerateMoves(0);
        EXPECT_GT(Ply[0].moveCount, 190) << fen;
        EXPECT_LT(Ply[0].moveCount, MaxMovesPerPly - 1) << fen;
    }
    SetPosition("1Q1Q1Q1Q/8/Q1Q1Q1Q1/8/1Q1Q1Q1Q/8/Q1Q1Q1Q1/k6K b - -");
    PerftNodes = 0;
    Perft(2, 0);
    EXPECT_EQ(PerftNodes, 0);  // black is checkmated: nothing to count
}

std::vector<std::string> CaptureTexts(const std::string& fen) {
    return ListedTexts(fen, GenerateCaptures);
}

TEST(Captures, ListedOrders) {
    EXPECT_TRUE(CaptureTexts(StartFen).empty());
    EXPECT_EQ(
        CaptureTexts(SelfTestFen),
        (std::vector<std::string>{"e2a6", "g2h3", "f3h3", "f3f6", "d5e6", "e5g6", "e5d7", "e5f7"}));
    SetPosition("4k2K/8/8/4Pp2/8/8/8/8 w - f6");
    GenerateCaptures(0);
    ASSERT_EQ(Ply[0].moveCount, 1);
    EXPECT_EQ(MoveTable[0][1], MakeMoveWord(0x44, 0x55, Pawn));
    EXPECT_EQ(CaptureTexts("r1r1k2K/1P6/8/8/8/8/8/8 w - -").size(), 12u);
    EXPECT_EQ(CaptureTexts("4k2K/1P6/8/8/8/8/8/8 w - -"),
              (std::vector<std::string>{"b7b8q", "b7b8r", "b7b8b", "b7b8n"}));
    EXPECT_TRUE(CaptureTexts("4k2K/8/1P6/8/8/8/8/8 w - -").empty());
    EXPECT_TRUE(CaptureTexts("4k2K/8/8/8/8/8/8/R1N4r w - -").empty());  // own knight blocks
}

TEST(Captures, EqualTheFullListWithoutQuietMoves) {
    SeedRandom(777);
    const char* starts[] = {StartFen, SelfTestFen, "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
                            "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1"};
    for (int game = 0; game < 200; ++game) {
        SetPosition(starts[game % 4]);
        PlayRandomMoves(int(RandomDraw(60)));
        GenerateMoves(0);
        std::vector<Move> expected;
        for (int k = 1; k <= Ply[0].moveCount; ++k)
            if (IsTactical(MoveTable[0][k])) expected.push_back(MoveTable[0][k]);
        GenerateCaptures(0);
        std::vector<Move> captures(MoveTable[0] + 1, MoveTable[0] + 1 + Ply[0].moveCount);
        EXPECT_EQ(captures, expected);
    }
}

}  // namespace
