// The search: mates and empty roots, repetition, the time budget, the pruning rules, the state
// a search leaves behind, and the GO parser.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "board/fen.h"
#include "eval/eval.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/think.h"
#include "uci/uci.h"
#include "uci/util.h"

namespace {

// Runs a search with the protocol lines captured; returns them.
std::string Search(const std::string& fen, uint8_t depth) {
    SetPosition(fen);
    ClearLimits();
    SearchLimits.depth = depth;
    FILE* capture = std::tmpfile();
    OutputHandle = fileno(capture);
    IterativeDeepening();
    OutputHandle = 1;
    std::string text;
    std::rewind(capture);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, capture)) > 0) text.append(buffer, n);
    std::fclose(capture);
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string_view rest = text;
    std::string line;
    while (!rest.empty()) {
        SplitToken(rest, '\n', line);
        lines.push_back(line);
    }
    return lines;
}

TEST(Search, MateInOneEndsAfterDepthOne) {
    auto lines = Lines(Search("6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", 10));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "bestmove d1d8");
    for (const std::string& line : lines) {
        if (line.rfind("info depth", 0) == 0) {
            EXPECT_EQ(line.rfind("info depth 1 ", 0), 0u);
        }
    }
    EXPECT_NE(lines[lines.size() - 2].find("score cp 99998 pv d1d8"), std::string::npos);
}

TEST(Search, CheckmatedAndStalematedRoots) {
    auto mated = Lines(Search("R5k1/5ppp/8/8/8/8/5PPP/6K1 b - - 0 1", 10));
    EXPECT_EQ(mated, (std::vector<std::string>{"bestmove a1a1"}));
    auto stalemate = Lines(Search("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 4));
    EXPECT_EQ(stalemate, (std::vector<std::string>{"bestmove a1a1"}));
}

TEST(Search, DepthOneReportsEveryImprovement) {
    auto lines = Lines(Search(StartFen, 1));
    ASSERT_GE(lines.size(), 2u);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("info depth 1 nodes ", 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find(" score cp "), std::string::npos);
        EXPECT_NE(lines[i].find(" pv "), std::string::npos);
    }
    EXPECT_EQ(lines.back().rfind("bestmove ", 0), 0u);
}

TEST(Search, PromotionIsPrintedWithItsLetter) {
    auto lines = Lines(Search("8/1P6/8/8/8/6k1/8/6K1 w - - 0 1", 5));
    EXPECT_EQ(lines.back(), "bestmove b7b8q");
}

TEST(Search, LeavesTheBoardAndPlyZeroAsFound) {
    for (const char* fen : {StartFen,
                            "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w "
                            "KQkq - 0 1",
                            "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"}) {
        SetPosition(fen);
        Piece board[256];
        std::memcpy(board, Board, sizeof Board);
        PlyState before = Ply[0];
        Search(fen, 6);
        EXPECT_EQ(std::memcmp(board, Board, sizeof Board), 0) << fen;
        EXPECT_EQ(Ply[0].key, before.key);
        EXPECT_EQ(Ply[0].pawnKey, before.pawnKey);
        EXPECT_EQ(Ply[0].side, before.side);
        EXPECT_EQ(Ply[0].castling, before.castling);
        EXPECT_EQ(Ply[0].material[0], before.material[0]);
        EXPECT_EQ(Ply[0].material[1], before.material[1]);
        EXPECT_TRUE(BoardIsOk(0));
    }
}

TEST(Search, DeepestPlyReturnsTheStaticEvaluation) {
    SetPosition("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    CopyPlyState(0, MaxSearchPly);
    Ply[MaxSearchPly].inCheck = 0;
    PvLine line;
    line.length = 0;
    int32_t expected = Evaluate(MaxSearchPly, -ScoreInfinity, ScoreInfinity);
    EXPECT_EQ(AlphaBeta(-ScoreInfinity, ScoreInfinity, 6, MaxSearchPly, true, line), expected);
    EXPECT_EQ(Quiesce(-ScoreInfinity, ScoreInfinity, MaxSearchPly), expected);
}

TEST(Repetition, ThirdOccurrenceCounts) {
    SetPosition(StartFen);
    HistoryCount = 0;
    for (int p = 1; p <= 12; ++p) Ply[p].key = 1000 + p;
    // Search path only: plies 2, 6 and 10 hold one position.
    Ply[2].key = Ply[6].key = Ply[10].key = 77;
    EXPECT_TRUE(IsRepetition(10));
    EXPECT_FALSE(IsRepetition(6));
    // Ply 0 is never compared.
    Ply[0].key = Ply[4].key = Ply[8].key = 55;
    EXPECT_FALSE(IsRepetition(4));
    EXPECT_FALSE(IsRepetition(8));
    Ply[12].key = 55;
    EXPECT_TRUE(IsRepetition(12));
    // Twice in the game history, once more on the search path.
    HistoryCount = 3;
    GameHistory[1] = 99;
    GameHistory[2] = 5;
    GameHistory[3] = 99;
    Ply[4].key = 99;
    EXPECT_TRUE(IsRepetition(4));
    Ply[4].key = 5;
    EXPECT_FALSE(IsRepetition(4));
    HistoryCount = 0;
}

TEST(Repetition, GameHistoryAndSearchPathTogether) {
    // The start position stands twice in the history; the search line that returns to it
    // reaches it a third time at ply 4. The positions on the way stand there once.
    ExecuteCommand("position startpos moves g1f3 g8f6 f3g1 f6g8 b1c3 b8c6 c3b1 c6b8");
    EXPECT_EQ(HistoryCount, 8);
    const char* line[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    Move made[4];
    for (int p = 0; p < 4; ++p) {
        GenerateMoves(p);
        made[p] = NoMove;
        for (int k = 1; k <= Ply[p].moveCount; ++k)
            if (MoveToText(MoveTable[p][k]) == line[p]) made[p] = MoveTable[p][k];
        ASSERT_TRUE(MakeMove(made[p], p));
        Ply[p + 1].inCheck = 0;
        EXPECT_EQ(IsRepetition(p + 1), p + 1 == 4) << p + 1;
    }
    for (int p = 3; p >= 0; --p) TakeBack(made[p], p);
    // Without moves in the command the history is empty and ply 0 is not compared.
    ExecuteCommand("position startpos");
    for (int p = 0; p < 4; ++p) {
        GenerateMoves(p);
        for (int k = 1; k <= Ply[p].moveCount; ++k)
            if (MoveToText(MoveTable[p][k]) == line[p]) made[p] = MoveTable[p][k];
        ASSERT_TRUE(MakeMove(made[p], p));
        Ply[p + 1].inCheck = 0;
    }
    EXPECT_FALSE(IsRepetition(4));
    for (int p = 3; p >= 0; --p) TakeBack(made[p], p);
}

// Clock parameters of a "go" for white, and the budget they must give.
struct BudgetCase {
    int32_t movetime, wtime, winc;
    uint8_t movestogo;
    bool clockGiven;
    int32_t timeLimit, softTime;
};

void ExpectBudget(const BudgetCase& c) {
    ClearLimits();
    SearchLimits.movetime = c.movetime;
    SearchLimits.wtime = c.wtime;
    SearchLimits.winc = c.winc;
    SearchLimits.movestogo = c.movestogo;
    SearchLimits.clockGiven[0] = c.clockGiven;
    SoftTime = 0;
    SetTimeBudget();
    EXPECT_EQ(TimeLimit, c.timeLimit) << c.movetime << " " << c.wtime << " " << c.winc;
    EXPECT_EQ(SoftTime, c.softTime) << c.movetime << " " << c.wtime << " " << c.winc;
}

TEST(TimeBudget, Table) {
    SetPosition(StartFen);
    for (const BudgetCase& c : {
             // The formula's worked values.
             BudgetCase{0, 60000, 0, 0, true, 60000 / 3 - 500, 1500},
             BudgetCase{0, 5000, 0, 1, true, 4500, 4500},
             BudgetCase{1000, 0, 0, 0, false, 700, 0},
             BudgetCase{0, 0, 0, 0, false, -1, 0},
             // Never past the clock: the remaining time less 50 ms or a twentieth, at least 1.
             BudgetCase{0, 10000, 2000, 0, true, 9500, 1766},
             BudgetCase{0, 500, 2000, 0, true, 450, 450},
             BudgetCase{0, 3000, 3000, 0, true, 2850, 2500},
             BudgetCase{0, 20000, 0, 1, true, 19000, 19000},
             BudgetCase{0, 50, 5000, 0, true, 1, 1},
             // Short budgets keep a positive limit; movetime never gives less for more.
             BudgetCase{300, 0, 0, 0, false, 150, 0},
             BudgetCase{450, 0, 0, 0, false, 225, 0},
             BudgetCase{599, 0, 0, 0, false, 299, 0},
             BudgetCase{600, 0, 0, 0, false, 300, 0},
             BudgetCase{1, 0, 0, 0, false, 1, 0},
             BudgetCase{0, 1000, 0, 0, true, 100, 1000 / 30 - 500},
             BudgetCase{0, 300, 0, 0, true, 30, 300 / 30 - 500},
             BudgetCase{0, -200, 0, 0, true, 1, -200},
             BudgetCase{0, 0, 0, 0, true, 1, 0},
         })
        ExpectBudget(c);
    // Black to move reads only btime.
    SetPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
    ClearLimits();
    SearchLimits.wtime = 1;
    SearchLimits.btime = 60000;
    SetTimeBudget();
    EXPECT_EQ(SoftTime, 1500);
}

TEST(Pruning, RulesWhereAFaultWouldShow) {
    EXPECT_EQ(FutilityMargin(1), 100);
    EXPECT_EQ(FutilityMargin(2), 400);
    EXPECT_EQ(FutilityMargin(3), 1200);
    EXPECT_TRUE(HistoryPrunes(3, 3000));
    EXPECT_FALSE(HistoryPrunes(4, 3000));
    EXPECT_TRUE(HistoryPrunes(4, 2456));
    EXPECT_FALSE(HistoryPrunes(5, 0));
    EXPECT_EQ(LateMoveReduction(4, 3000, 3), 1);
    EXPECT_EQ(LateMoveReduction(4, 3000, 2), 0);  // only from the third legal move
    EXPECT_EQ(LateMoveReduction(8, 4000, 3), 2);  // searched at 8 - 1 - 2 = 5
    EXPECT_EQ(LateMoveReduction(7, 4000, 3), 1);
    EXPECT_EQ(LateMoveReduction(8, 9830, 5), 0);
    EXPECT_EQ(LateMoveReduction(2, 0, 5), 0);
}

TEST(Pruning, NullMoveNeedsMaterialOnBothSides) {
    SetPosition("4k3/pppp4/8/8/8/8/8/r2QK3 w - - 0 1");  // black: rook and four pawns
    EXPECT_TRUE(NullMoveMaterialOk(Ply[0]));
    SetPosition("4k3/ppp5/8/8/8/8/8/r2QK3 w - - 0 1");  // rook and three pawns: 900
    EXPECT_FALSE(NullMoveMaterialOk(Ply[0]));
    // In the search a null-move cut-off leaves a lower bound without a move.
    for (bool enough : {true, false}) {
        ClearHash();
        ++HashAge;
        SetPosition(enough ? "4k3/pppp4/8/8/8/8/3Q4/r2QK3 w - - 0 1"
                           : "4k3/ppp5/8/8/8/8/3Q4/r2QK3 w - - 0 1");
        PvLine line;
        line.length = 0;
        int32_t score = AlphaBeta(-1, 0, 2, 0, true, line);
        EXPECT_GE(score, 0);
        HashProbe(0);
        EXPECT_EQ(Ply[0].hashBound, BoundLower);
        EXPECT_EQ(Ply[0].hashMove == NoMove, enough) << enough;
    }
}

TEST(GoCommand, ParsesItsLimits) {
    int devNull = open("/dev/null", O_WRONLY);
    OutputHandle = devNull;
    ExecuteCommand("position startpos");
    ExecuteCommand("go depth 3");
    EXPECT_EQ(SearchLimits.depth, 3);
    EXPECT_EQ(SearchLimits.movetime, 0);
    ExecuteCommand("GO DEPTH 2");
    EXPECT_EQ(SearchLimits.depth, 2);
    ExecuteCommand("go depth 259");
    EXPECT_EQ(SearchLimits.depth, 3);
    ExecuteCommand("go searchmoves e2e4 depth 2");
    EXPECT_EQ(SearchLimits.depth, 2);
    ExecuteCommand("go wtime 60000 btime 60000 winc 0 binc 0 movestogo 40 depth 1");
    EXPECT_EQ(SearchLimits.wtime, 60000);
    EXPECT_EQ(SearchLimits.btime, 60000);
    EXPECT_EQ(SearchLimits.movestogo, 40);
    EXPECT_EQ(SearchLimits.movetime, 0);
    ExecuteCommand("go ponder depth 1");
    EXPECT_EQ(SearchLimits.ponder, 1);
    ExecuteCommand("go depth 1 nodes 1000 mate 2 infinite");
    EXPECT_EQ(SearchLimits.ponder, 1);
    EXPECT_EQ(SearchLimits.nodes, 1000);
    EXPECT_EQ(SearchLimits.infinite, 1);
    ExecuteCommand("ponderhit");
    EXPECT_EQ(SearchLimits.ponder, 0);
    OutputHandle = 1;
    close(devNull);
}

TEST(Options, HashAndClearHash) {
    ExecuteCommand("setoption name Hash value 64");
    EXPECT_EQ(HashSizeMB, 64);
    ExecuteCommand("setoption name Hash value 1");
    EXPECT_EQ(HashSizeMB, 4);
    ExecuteCommand("setoption name Hash value 100000");
    EXPECT_EQ(HashSizeMB, 512);
    ExecuteCommand("setoption name Hash value 32");
    SetPosition(StartFen);
    for (const char* command :
         {"setoption name Clear Hash", "setoption name clear hash", "ucinewgame"}) {
        Ply[0].hashBound = BoundExact;
        HashStore(5, 0, 10, 0);
        ExecuteCommand(command);
        HashProbe(0);
        EXPECT_EQ(Ply[0].hashBound, BoundNone) << command;
    }
    Ply[0].hashBound = BoundExact;
    HashStore(5, 0, 10, 0);
    ExecuteCommand("setoption name Clear Hash now");
    HashProbe(0);
    EXPECT_EQ(Ply[0].hashBound, BoundExact);
    ExecuteCommand("position startpos moves e2e4");
    ExecuteCommand("ucinewgame");
    EXPECT_EQ(HistoryCount, 0);
    EXPECT_EQ(Board[0x14], WhitePawn);
}

}  // namespace
