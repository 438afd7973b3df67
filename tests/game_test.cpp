// Whole games and timed answers through the built binary over pipes. The driver keeps its
// own copy of the game and checks every answer against it.
#include <gtest/gtest.h>

#include <chrono>

#include "board/fen.h"
#include "movegen/attack.h"
#include "movegen/genmoves.h"
#include "movemake/movemake.h"
#include "tests/support.h"
#include "uci/util.h"

namespace {

long NowMs() {
    using namespace std::chrono;
    return long(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TEST(Game, EveryAnswerIsLegal) {
    EngineSession engine;
    ASSERT_TRUE(StartSession(engine));
    SendLine(engine, "uci");
    ASSERT_EQ(ReceiveUntil(engine, "uciok"), "uciok");
    SendLine(engine, "ucinewgame");
    SendLine(engine, "isready");
    ASSERT_EQ(ReceiveUntil(engine, "readyok"), "readyok");
    SetPosition(StartFen);
    std::string moves;
    const char* limits[] = {"go depth 3", "go movetime 40",
                            "go wtime 2000 btime 2000 winc 20 binc 20", "go depth 2",
                            "go wtime 400 btime 400"};
    for (int ply = 0; ply < 80 && HasLegalMove(); ++ply) {
        SendLine(engine, "position startpos" + (moves.empty() ? "" : " moves" + moves));
        SendLine(engine, limits[ply % 5]);
        std::string answer = ReceiveUntil(engine, "bestmove ", 20000);
        ASSERT_FALSE(answer.empty()) << "no answer after" << moves;
        std::string move = answer.substr(9);
        ASSERT_TRUE(PlayIfLegal(move)) << move << " after" << moves;
        moves += " " + move;
    }
    SendLine(engine, "quit");
    EXPECT_EQ(EndSession(engine), 0);
}

// Sends one search and returns how long the answer took, in ms (-1 without an answer).
long AnswerTime(const std::string& go, std::string& answer,
                const std::string& position = "position startpos moves e2e4 e7e5") {
    EngineSession engine;
    if (!StartSession(engine)) return -1;
    SendLine(engine, position);
    SendLine(engine, "isready");
    if (ReceiveUntil(engine, "readyok").empty()) return -1;
    long start = NowMs();
    SendLine(engine, go);
    answer = ReceiveUntil(engine, "bestmove ", 30000);
    long took = NowMs() - start;
    KillSession(engine);
    return answer.empty() ? -1 : took;
}

TEST(Game, ShortClocksAreAnsweredInTime) {
    std::string answer;
    long t = AnswerTime("go wtime 1000 btime 1000", answer);
    EXPECT_GE(t, 0);
    EXPECT_LT(t, 700);
    t = AnswerTime("go wtime 300 btime 300", answer);
    EXPECT_GE(t, 0);
    EXPECT_LT(t, 150);
    t = AnswerTime("go wtime -200 btime 5000", answer);
    EXPECT_GE(t, 0);
    EXPECT_LT(t, 100);
    t = AnswerTime("go movetime 100", answer);
    EXPECT_GE(t, 0);
    EXPECT_LT(t, 400);
    // Out of time at once: still a legal move, never a1a1.
    t = AnswerTime(
        "go wtime 0 btime 0", answer,
        "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    EXPECT_GE(t, 0);
    EXPECT_NE(answer, "bestmove a1a1");
    SetPosition("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    EXPECT_TRUE(PlayIfLegal(answer.substr(9))) << answer;
}

TEST(Game, BadNumbersEndTheEngine) {
    for (const char* command : {"go depth x", "go depth", "go wtime 99999999999",
                                "setoption name Hash value lots", "go movetime 12ms"}) {
        EngineRun run = RunEngine(std::string("position startpos\n") + command + "\nisready\n");
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.out, "Sorvane v 1.0b\r\n") << command;
        std::string_view rest = command;
        std::string token;
        while (!rest.empty()) SplitToken(rest, ' ', token);
        if (std::string(command) == "go depth") token = "";
        EXPECT_EQ(run.err, "'" + token + "' is not a valid integer value\n") << command;
    }
}

TEST(Game, StopAndPonderhitBetweenSearches) {
    EngineRun run =
        RunEngine("stop\nposition startpos\ngo depth 2\nponderhit\nstop\ngo depth 2\nquit\n");
    EXPECT_EQ(run.status, 0);
    size_t first = run.out.find("bestmove ");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(run.out.find("bestmove ", first + 1), std::string::npos);
}

}  // namespace
