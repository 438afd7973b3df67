// Move ordering: the scores, the order they give, killers and history.
#include "think/sortmoves.h"

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

// The moves of `ply` in search order, after the list was generated and scored.
std::vector<Move> SearchOrder(int ply) {
    std::vector<Move> order;
    for (int k = 1; k <= Ply[ply].moveCount; ++k) {
        PickMove(ply, k);
        order.push_back(MoveTable[ply][OrderTable[ply][k]]);
    }
    return order;
}

Move Find(int ply, const std::string& text) {
    for (int k = 1; k <= Ply[ply].moveCount; ++k)
        if (MoveToText(MoveTable[ply][k]) == text) return MoveTable[ply][k];
    return NoMove;
}

struct Ordering : testing::Test {
    void SetUp() override { ClearOrdering(); }
    void TearDown() override { ClearOrdering(); }
};

TEST_F(Ordering, HashMoveThenCapturesThenKillersThenHistory) {
    SetPosition(SelfTestFen);
    GenerateMoves(0);
    const Move quietHash = Find(0, "a2a3"), killer1 = Find(0, "g2g3"), killer2 = Find(0, "h1f1");
    Ply[0].hashMove = quietHash;
    Killers[0][0] = killer1;
    Killers[0][1] = killer2;
    ScoreMoves(0);
    auto order = SearchOrder(0);
    ASSERT_EQ(order.size(), 48u);
    EXPECT_EQ(order[0], quietHash);
    // The eight captures, most valuable victim first, then least valuable attacker: bishop
    // takes bishop, queen takes knight, pawns take pawns, knights take pawns, queen takes pawn.
    std::vector<std::string> captures;
    for (int i = 1; i <= 8; ++i) captures.push_back(MoveToText(order[i]));
    EXPECT_EQ(captures, (std::vector<std::string>{"e2a6", "f3f6", "g2h3", "d5e6", "e5g6", "e5d7",
                                                  "e5f7", "f3h3"}));
    EXPECT_EQ(order[9], killer1);
    EXPECT_EQ(order[10], killer2);
    EXPECT_EQ(ScoreTable[0][1], HashMoveScore);
    EXPECT_EQ(ScoreTable[0][10], Killer1Score);
    EXPECT_EQ(ScoreTable[0][11], Killer2Score);
    // Untried quiet moves score 16384 each and keep their generation order.
    EXPECT_EQ(ScoreTable[0][12], HistoryScale);
    EXPECT_EQ(MoveToText(order[11]), "a1b1");
    Ply[0].hashMove = NoMove;
    Killers[0][0] = Killers[0][1] = NoMove;
}

TEST_F(Ordering, PromotionsComeFirstInQuiescence) {
    SetPosition("r1r1k2K/1P6/8/8/8/8/8/8 w - -");
    GenerateCaptures(0);
    Ply[0].hashMove = NoMove;
    ScoreMoves(0);
    auto order = SearchOrder(0);
    std::vector<std::string> texts;
    for (Move m : order) texts.push_back(MoveToText(m));
    // A promotion without capture scores above every capture; then rook captures, queen
    // promotion first.
    EXPECT_EQ(texts,
              (std::vector<std::string>{"b7b8q", "b7b8r", "b7b8b", "b7b8n", "b7a8q", "b7c8q",
                                        "b7a8r", "b7c8r", "b7a8b", "b7c8b", "b7a8n", "b7c8n"}));
}

TEST_F(Ordering, OnDemandOrderEqualsAFullStableSort) {
    SeedRandom(808);
    for (int game = 0; game < 60; ++game) {
        SetPosition(game % 2 ? StartFen : SelfTestFen);
        PlayRandomMoves(int(RandomDraw(40)));
        GenerateMoves(0);
        // Random history and killers, so that many scores differ.
        for (int i = 0; i < 300; ++i) {
            Move m = MoveTable[0][1 + RandomDraw(uint32_t(Ply[0].moveCount))];
            if (RandomDraw(2))
                AddHistoryHit(m);
            else
                AddHistoryTry(m);
        }
        Ply[0].hashMove =
            RandomDraw(3) ? MoveTable[0][1 + RandomDraw(uint32_t(Ply[0].moveCount))] : 0;
        ScoreMoves(0);
        auto order = SearchOrder(0);
        std::vector<int32_t> scores(ScoreTable[0] + 1, ScoreTable[0] + 1 + Ply[0].moveCount);
        // The reference: a stable sort of the generated list by descending score.
        std::vector<std::pair<int32_t, Move>> reference;
        for (int k = 1; k <= Ply[0].moveCount; ++k) {
            Move m = MoveTable[0][k];
            auto at = std::find(order.begin(), order.end(), m) - order.begin();
            reference.push_back({scores[size_t(at)], m});
        }
        std::stable_sort(reference.begin(), reference.end(),
                         [](auto& a, auto& b) { return a.first > b.first; });
        for (size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], reference[i].second);
        ClearOrdering();
    }
    Ply[0].hashMove = NoMove;
}

TEST_F(Ordering, KillersAndHistoryUpdates) {
    SetPosition(StartFen);
    const Move a = MakeMoveWord(0x06, 0x25), b = MakeMoveWord(0x01, 0x22);
    const Move capture = MakeMoveWord(0x34, 0x43, Pawn);
    UpdateKillers(a, 3);
    UpdateKillers(b, 3);
    EXPECT_EQ(Killers[3][0], b);
    EXPECT_EQ(Killers[3][1], a);
    UpdateKillers(b, 3);  // already first: nothing changes
    EXPECT_EQ(Killers[3][1], a);
    UpdateKillers(a, 3);  // the second becomes the first
    EXPECT_EQ(Killers[3][0], a);
    EXPECT_EQ(Killers[3][1], b);
    UpdateKillers(capture, 3);  // captures never become killers
    EXPECT_EQ(Killers[3][0], a);

    // 16383 tries bring a counter to 16384, and both counters of that index are halved.
    const int index = 0x25 * 12 + PieceIndex(0x06);
    for (int i = 0; i < 8999; ++i) AddHistoryHit(a);  // good 9000, tried 9000
    for (int i = 0; i < 7383; ++i) AddHistoryTry(a);  // tried 16383
    EXPECT_EQ(HistoryTried[index], 16383);
    EXPECT_EQ(HistoryScore(a), 9000 * 16384 / 16383);
    AddHistoryTry(a);
    EXPECT_EQ(HistoryTried[index], 8192);
    EXPECT_EQ(HistoryGood[index], 4500);
    EXPECT_EQ(HistoryScore(a), 4500 * 16384 / 8192);
    AddHistoryTry(capture);  // not quiet: no counter moves
    EXPECT_EQ(HistoryScore(capture), HistoryScale);
}

TEST_F(Ordering, LegalFilterCountsLegalMovesOnly) {
    SetPosition("R5k1/5ppp/8/8/8/8/5PPP/6K1 b - - 0 1");  // checkmated
    GenerateMoves(0);
    FilterLegalMoves(0);
    EXPECT_EQ(Ply[0].moveCount, 0);
    SetPosition("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1");
    GenerateMoves(0);
    const int pseudoLegal = Ply[0].moveCount;
    FilterLegalMoves(0);
    EXPECT_LT(Ply[0].moveCount, pseudoLegal);
    for (int k = Ply[0].moveCount + 1; k <= pseudoLegal; ++k)
        EXPECT_EQ(ScoreTable[0][k], IllegalMoveScore);
}

TEST_F(Ordering, RootSortPutsTheLegalMovesFirst) {
    SetPosition(StartFen);
    Ply[0].moveCount = 5;
    const int32_t scores[6] = {0, -1000, 12, -1000, 700, 12};
    for (int k = 1; k <= 5; ++k) {
        RootOrder[k] = k;
        RootScore[k] = scores[k];
    }
    SortRootMoves();
    EXPECT_EQ(RootScore[1], 700);
    EXPECT_EQ(RootOrder[1], 4);
    EXPECT_EQ(RootScore[2], 12);
    EXPECT_EQ(RootScore[3], 12);
    EXPECT_EQ(RootScore[4], -1000);
    EXPECT_EQ(RootScore[5], -1000);
}

}  // namespace
