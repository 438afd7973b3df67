// A long session through the built binary over pipes: a game of several hundred plies, hash
// resizing, new games, stop and ponderhit between searches, and a self-test killed early in
// another engine. Under the sanitizer build the same test also catches leaks at exit.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "board/fen.h"
#include "movegen/genmoves.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "tests/support.h"

namespace {

// A game of `plies` legal moves from the start position, mostly quiet piece moves so that it
// lasts, drawn with the engine's seeded generator.
std::string LongGame(int plies) {
    SetPosition(StartFen);
    SeedRandom(31337);
    std::string moves;
    for (int i = 0; i < plies && HasLegalMove(); ++i) {
        GenerateMoves(0);
        std::vector<std::string> quiet, all;
        for (int k = 1; k <= Ply[0].moveCount; ++k) {
            const Move m = MoveTable[0][k];
            if (!MakeTrial(m, 0)) continue;
            TakeBack(m, 0);
            all.push_back(MoveToText(m));
            if (IsQuiet(m) && TypeOf(Board[FromOf(m)]) != Pawn) quiet.push_back(MoveToText(m));
        }
        const auto& pool = !quiet.empty() && RandomDraw(10) < 9 ? quiet : all;
        const std::string move = pool[RandomDraw(uint32_t(pool.size()))];
        EXPECT_TRUE(PlayIfLegal(move));
        moves += " " + move;
    }
    return moves;
}

long ResidentKb(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Sends a search and checks that its answer is legal in the driver's position.
void ExpectLegalAnswer(EngineSession& engine, const std::string& go) {
    SendLine(engine, go);
    const std::string answer = ReceiveUntil(engine, "bestmove ", 30000);
    ASSERT_FALSE(answer.empty()) << go;
    EXPECT_TRUE(PlayIfLegal(answer.substr(9))) << answer << " after " << go;
}

TEST(LongSession, StaysCorrectThroughManyCommands) {
    const std::string game = LongGame(400);
    std::istringstream count(game);
    int plies = 0;
    for (std::string m; count >> m;) ++plies;
    ASSERT_GE(plies, 300);

    EngineSession engine;
    ASSERT_TRUE(StartSession(engine));
    SendLine(engine, "uci");
    ASSERT_EQ(ReceiveUntil(engine, "uciok"), "uciok");

    // The whole game in one POSITION command, then a search from its end.
    SendLine(engine, "position startpos moves" + game);
    SendLine(engine, "isready");
    ASSERT_EQ(ReceiveUntil(engine, "readyok"), "readyok");
    ExpectLegalAnswer(engine, "go depth 4");

    // Hash sizes in and out of range, each followed by a search.
    const long before = ResidentKb(engine.pid);
    for (const char* size : {"1", "600", "64", "-5", "0", "512", "4", "2147483647", "32"}) {
        SendLine(engine, std::string("setoption name Hash value ") + size);
        SendLine(engine, "position startpos moves" + game);
        SetPosition(StartFen);
        std::istringstream moves(game);
        for (std::string m; moves >> m;) PlayIfLegal(m);
        ExpectLegalAnswer(engine, "go depth 2");
    }
    const long after = ResidentKb(engine.pid);
    EXPECT_LT(after, before + 64 * 1024) << "memory grew from " << before << " to " << after;

    // A self-test in another engine, killed at an early depth, leaves this one alone.
    EngineSession tester;
    ASSERT_TRUE(StartSession(tester));
    SendLine(tester, "test");
    EXPECT_FALSE(ReceiveUntil(tester, "Depth=3", 30000).empty());
    KillSession(tester);

    // New games, stop and ponderhit between searches.
    for (int round = 0; round < 3; ++round) {
        SendLine(engine, "ucinewgame");
        SendLine(engine, "stop");
        SendLine(engine, "ponderhit");
        SendLine(engine, "position startpos moves e2e4 e7e5");
        SetPosition(StartFen);
        PlayIfLegal("e2e4");
        PlayIfLegal("e7e5");
        ExpectLegalAnswer(engine, round == 1 ? "go movetime 50" : "go depth 3");
        SendLine(engine, "ponderhit");
        SendLine(engine, "stop");
    }
    SendLine(engine, "isready");
    EXPECT_EQ(ReceiveUntil(engine, "readyok"), "readyok");
    SendLine(engine, "quit");
    EXPECT_EQ(EndSession(engine), 0);
}

}  // namespace
