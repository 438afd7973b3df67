// Engine sessions over pipes, one table: each row is a script of what a controller sends, what
// it must read back and when, and how the engine ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/session.h"

namespace {

struct SessionCase {
    const char* name;
    std::vector<std::string> script;
};

// A middlegame full of tactics, where no iteration ends early.
const std::string Middlegame =
    "> position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Rows of pawns on the seventh rank: promotions and seventh-rank extensions everywhere.
const std::string SeventhRanks = "> position fen 8/PPPPPPPP/8/8/8/8/pppppppp/K6k w - - 0 1";

const SessionCase Sessions[] = {
    // Increments at least as long as the clock: the answer comes before the flag falls.
    {"IncrementLongerThanTheClock",
     {Middlegame, "> isready", "expect readyok", "> go wtime 500 btime 500 winc 2000 binc 2000",
      "expect 500 bestmove \\S+", "> quit", "exit 0"}},
    {"ClockWithEqualIncrement",
     {Middlegame, "> isready", "expect readyok", "> go wtime 3000 btime 3000 winc 3000 binc 3000",
      "expect 3000 bestmove \\S+", "> quit", "exit 0"}},
    // Open-ended searches end on "stop", "quit" or the end of input, and answer "isready".
    {"InfiniteStops",
     {"> position startpos", "> go infinite", "wait 1000", "none bestmove.*", "> stop",
      "expect 300 bestmove \\S+", "> isready", "expect readyok", "> quit", "exit 0"}},
    {"BareGoStops",
     {"> go", "wait 500", "none bestmove.*", "> stop", "expect 300 bestmove \\S+", "> quit",
      "exit 0"}},
    {"DepthZeroStops",
     {"> go depth 0 nodes 5 mate 2", "wait 500", "> stop", "expect 300 bestmove \\S+"}},
    {"OtherSidesClockStops",
     {"> go btime 100 winc 10", "wait 500", "none bestmove.*", "> stop",
      "expect 300 bestmove \\S+"}},
    {"IsreadyDuringASearch",
     {"> go infinite", "wait 500", "> isready", "expect 300 readyok", "none bestmove.*",
      "> ponderhit", "> stop", "expect 300 bestmove \\S+"}},
    {"QuitDuringASearch",
     {"> go infinite", "wait 500", "> quit", "expect 300 bestmove \\S+", "exit 0 300"}},
    {"EndOfInputDuringASearch",
     {"> go infinite", "wait 300", "close", "expect 1000 bestmove \\S+", "exit 0 1000"}},
    // Lines that are not for the search wait for its answer, then run in order.
    {"OtherLinesWaitForTheAnswer",
     {"> go infinite", "wait 300", "> position startpos moves e2e4", "> go depth 1", "> stop",
      "expect 300 bestmove [a-h]2[a-h][34]|bestmove [bg]1[acfh]3",
      "expect bestmove [a-h][78][a-h][56]|bestmove [bg]8[acfh]6", "> quit", "exit 0"}},
    // A fixed depth ends however many pawns stand on the seventh rank.
    {"FixedDepthsEndWithRowsOfPromotions",
     {SeventhRanks, "> go depth 1", "expect 5000 bestmove \\S+", "> go depth 2",
      "expect 5000 bestmove \\S+", "> go depth 3", "expect 5000 bestmove \\S+", "> go depth 4",
      "expect 5000 bestmove \\S+", "> quit", "exit 0"}},
    // Nothing of an earlier position reaches the next search.
    {"EarlierGameLeavesNoTrace",
     {"> position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 g8f6 b5c6",
      "> position fen r1bqkb1r/pppp1ppp/2n5/4p3/2B1n3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 5",
      "> go depth 7", "expect bestmove e1g1", "> quit", "exit 0"}},
    {"SideFieldOtherThanBIsWhite",
     {"> position fen 4k3/8/8/8/8/8/8/4K2R b - - 0 1", "> position fen 4k3/8/8/8/8/8/8/4K2R B",
      "> go depth 1", "expect bestmove (e1|h1)\\S+", "> quit", "exit 0"}},
    // A megabyte of spaces is read in time proportional to its length.
    {"LongLineOfSpaces",
     {"> position startpos moves " + std::string(1 << 20, ' ') + "e2e4", "> isready",
      "expect 3000 readyok", "> go depth 1", "expect bestmove [a-h][78]\\S+"}},
    // A controller that stops reading does not kill the engine.
    {"ClosedOutputIsNotFatal",
     {"closeout", "> uci", "> isready", "> go depth 2", "> quit", "exit 0"}},
};

void PrintTo(const SessionCase& row, std::ostream* out) { *out << row.name; }

class Session : public testing::TestWithParam<SessionCase> {};

TEST_P(Session, Runs) { EXPECT_EQ(RunSession(GetParam().script), ""); }

INSTANTIATE_TEST_SUITE_P(Table, Session, testing::ValuesIn(Sessions),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
