// The POSITION command: played moves, the game history, and the fatal cases.
#include <gtest/gtest.h>

#include "board/fen.h"
#include "movemake/hash.h"
#include "tests/support.h"
#include "uci/uci.h"

namespace {

TEST(Position, MovesArePlayedAndBooked) {
    ExecuteCommand("position startpos moves e2e4 e7e5");
    EXPECT_EQ(Board[0x44], BlackPawn);
    EXPECT_EQ(Ply[0].side, 0);
    EXPECT_EQ(HistoryCount, 1);
    EXPECT_EQ(GameHistory[1], Ply[0].key);
    EXPECT_EQ(Ply[0].key, ComputeKey(0));

    SetPosition(StartFen);
    uint64_t start = Ply[0].key;
    ExecuteCommand("position startpos moves g1f3 g8f6 f3g1 f6g8");
    EXPECT_EQ(HistoryCount, 4);
    EXPECT_EQ(GameHistory[4], start);

    ExecuteCommand("position startpos");
    EXPECT_EQ(HistoryCount, 0);
    EXPECT_EQ(Ply[0].key, start);
}

TEST(Position, FenWithAndWithoutCounters) {
    ExecuteCommand("position fen 8/8/8/8/8/8/8/K6k w - - 0 1 moves a1a2");
    EXPECT_EQ(Board[0x10], White | King);
    EXPECT_EQ(Ply[0].side, 1);
    // Four fields: the text ends at "moves", so the move is still played.
    ExecuteCommand("position fen 8/8/8/8/8/8/8/K6k w - - MOVES a1a2");
    EXPECT_EQ(Board[0x10], White | King);
    ExecuteCommand("position fen 8/8/8/8/8/8/8/K6k w - -");
    EXPECT_EQ(Board[A1], White | King);
    ExecuteCommand(
        "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq "
        "- moves e1g1");
    EXPECT_EQ(Board[G1], White | King);
}

TEST(Position, PromotionTextsAndCase) {
    ExecuteCommand("position fen 7k/P7/8/8/8/8/8/K7 w - - 0 1 moves A7A8N");
    EXPECT_EQ(Board[A8], White | Knight);
    ExecuteCommand("position fen 7k/P7/8/8/8/8/8/K7 w - - 0 1 moves a7a8q");
    EXPECT_EQ(Board[A8], White | Queen);
    EXPECT_EQ(HistoryCount, 1);  // a promotion restarts the history
}

TEST(Position, LongReversibleHistoryKeepsTheNewestKeys) {
    std::string command = "position startpos moves";
    for (int i = 0; i < 50; ++i) command += " g1f3 g8f6 f3g1 f6g8";  // 200 reversible moves
    command += " b1c3";
    ExecuteCommand(command);
    EXPECT_EQ(HistoryCount, HistorySlots);
    EXPECT_EQ(GameHistory[HistorySlots], Ply[0].key);
    EXPECT_TRUE(BoardIsOk(0));
}

TEST(Position, UnplayableMovesEndTheEngine) {
    struct Case {
        const char* command;
        const char* move;
    };
    for (Case c : {Case{"position startpos moves e7e8q", "e7e8q"},
                   Case{"position startpos moves e2e4 e1e2", "e1e2"},
                   Case{"position startpos moves e2", "e2"},
                   Case{"position fen 4k3/8/8/8/8/8/4r3/4K3 w - - 0 1 moves e1f2", "e1f2"},
                   Case{"position fen 4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1 moves e2c3", "e2c3"}}) {
        EngineRun run = RunEngine(std::string(c.command) + "\nisready\n");
        EXPECT_EQ(run.status, 1) << c.command;
        EXPECT_EQ(run.out, "Sorvane v 1.0b\r\n") << c.command;
        EXPECT_EQ(run.err, std::string("illegal move in position command: ") + c.move + "\n");
    }
    EngineRun fine = RunEngine("position startpos moves e2e4 e7e5 g1f3\nisready\n");
    EXPECT_EQ(fine.status, 0);
    EXPECT_EQ(fine.out, "Sorvane v 1.0b\r\nreadyok\n");
}

}  // namespace
