// The checks that guard the whole engine: perft against published counts, and properties
// that must hold in every position of random games.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "board/fen.h"
#include "eval/eval.h"
#include "movegen/attack.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "tests/fuzz/harness.h"
#include "tests/support.h"
#include "think/think.h"
#include "uci/tests.h"
#include "uci/uci.h"

namespace {

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
    // A side without a king keeps a1 as its king's square: the rook standing there is no king.
    {"k7/8/8/8/8/8/8/R7 b - - 0 1", 2, 28, false},
};

TEST(Perft, PublishedCounts) {
    for (const PerftCase& c : PerftCases) {
        if (c.longCase && !SORVANE_LONG_TESTS) continue;
        Position& pos = TestPosition();
        SetPosition(pos, c.fen);
        StartPerft(pos);
        EXPECT_EQ(Perft(pos, c.depth, 0), c.leaves) << c.fen << " depth " << c.depth;
    }
}

const char* PlayoutStarts[] = {
    StartFen,
    SelfTestFen,
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "4k3/8/8/2Pp4/8/8/8/4K3 w - d6",
};

// Every move of every position of random games from each start, with all three makes.
TEST(Playouts, EveryMoveKeepsTheInvariants) {
    SeedRandom(99);
    for (const char* fen : PlayoutStarts) {
        for (int game = 0; game < 12; ++game) ASSERT_EQ(PlayoutFault(fen, false, 80), "");
    }
}

// Random game positions, at most one queen a side (only one is tracked).
std::vector<std::string> RandomPositions(int count) {
    std::vector<std::string> fens;
    SeedRandom(4242);
    const char* starts[] = {StartFen, SelfTestFen, "4k3/pp3ppp/8/8/8/8/PP3PPP/4K3 w - - 0 1",
                            "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 0 1"};
    Position& pos = TestPosition();
    while (int(fens.size()) < count) {
        SetPosition(pos, starts[fens.size() % 4]);
        PlayRandomMoves(pos, int(RandomDraw(120)));
        int queens[2] = {0, 0};
        for (int s = 0; s < 128; ++s)
            if (OnBoard(s) && TypeOf(pos.board[s]) == Queen) ++queens[SideOf(pos.board[s])];
        if (queens[0] <= 1 && queens[1] <= 1) fens.push_back(PositionToFen(pos, 0));
    }
    return fens;
}

int32_t Eval(const std::string& fen) {
    SetPosition(TestPosition(), fen);
    return Evaluate(TestPosition(), MainWorker(EngineSearch()).pawns, 0, -ScoreInfinity,
                    ScoreInfinity);
}

// The evaluation is the same for the colour mirror, from the pawn cache, and term by term.
TEST(Playouts, EvaluationIsColourSymmetricCachedAndTraced) {
    for (const std::string& fen : RandomPositions(300)) {
        ClearSearchTables(EngineSearch());
        const int32_t miss = Eval(fen);
        EXPECT_EQ(Eval(fen), miss) << "pawn cache hit: " << fen;
        EvalTrace trace;
        EXPECT_EQ(EvaluateWithTrace(TestPosition(), 0, trace), miss) << "trace: " << fen;
        int32_t sum = 0;
        for (const auto& gain : trace.gain) sum += gain[0] - gain[1];
        EXPECT_EQ(TestPosition().ply[0].side ? -sum : sum, miss) << "the terms' sum: " << fen;
        EXPECT_EQ(Eval(MirrorFen(fen)), miss) << "colour mirror: " << fen;
    }
}

// The picker, with its quiet moves scored late, hands out the moves of a stable sort by
// descending score of the list scored eagerly, even when the history changes between the
// scoring and the picking of the quiet moves.
TEST(Playouts, PickerGivesTheStableSortOfTheScores) {
    Worker& w = MainWorker(EngineSearch());
    ClearOrdering(w.order);
    uint32_t seed = 77;
    for (const std::string& fen : RandomPositions(200)) {
        SetPosition(w.pos, fen);
        SetInCheck(w.pos, 0);
        GenerateMoves(w.pos, 0);
        const int n = w.pos.ply[0].moveCount;
        if (n == 0) continue;
        const Move* moves = w.pos.moves[0];
        auto any = [&] { return moves[1 + RandomDraw(seed, uint32_t(n))]; };
        for (int i = 0; i < 8; ++i) {  // a history learnt in this position
            AddHistoryTry(w, any());
            if (RandomDraw(seed, 3) == 0) AddHistoryHit(w, any());
        }
        UpdateKillers(w.order, any(), 0);
        UpdateKillers(w.order, any(), 0);
        const Move hashMove = RandomDraw(seed, 2) ? any() : NoMove;

        std::vector<std::pair<int32_t, int>> expected;
        for (int k = 1; k <= n; ++k) expected.push_back({MoveScore(w, moves[k], 0, hashMove), k});
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });

        ScoreMoves(w, 0, hashMove);
        // A cut-off elsewhere changes the history before this list's quiet moves are picked.
        AddHistoryHit(w, any());
        AddHistoryTry(w, any());
        for (int k = 1; k <= n; ++k) {
            PickMove(w, 0, k);
            ASSERT_EQ(w.order.order[0][k], expected[size_t(k - 1)].second) << fen << " slot " << k;
            ASSERT_EQ(w.order.score[0][k], expected[size_t(k - 1)].first) << fen << " slot " << k;
        }
    }
    ClearOrdering(w.order);
}

}  // namespace
