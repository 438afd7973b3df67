// sorvane-tool: the developer's tool, built from the engine's own code.
//   sorvane-tool perft "<FEN>" <depth>   leaves per root move, then the total
//   sorvane-tool eval [--trace] "<FEN>"  the static evaluation, optionally term by term
//   sorvane-tool bench [depth] [threads] fixed-depth searches; the node total is the signature
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/fen.h"
#include "eval/eval.h"
#include "movegen/attack.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/sortmoves.h"
#include "think/think.h"
#include "uci/tests.h"
#include "uci/uci.h"
#include "uci/util.h"

namespace {

constexpr uint32_t ToolSeed = 20261206;  // fixed, so every run prints the same
constexpr uint32_t BenchSeed = 1;

int Usage() {
    std::fputs(
        "usage: sorvane-tool <command> [arguments]\n"
        "  perft [--chess960] \"<FEN>\" <depth>\n"
        "                          count the legal move paths, per root move (depth 1..20);\n"
        "                          --chess960 reads the FEN's castling as Chess960's (X-FEN\n"
        "                          or Shredder-FEN) and writes castling as king takes rook\n"
        "  eval [--trace] \"<FEN>\"  the static evaluation for the side to move; --trace\n"
        "                          first prints every term for white and for black\n"
        "  bench [depth] [threads] search the bench positions (default depth 7, one thread);\n"
        "                          the last line gives the node total (the bench signature)\n"
        "                          and the speed. With more than one thread the threads share\n"
        "                          the table as they go, so the total varies from run to run\n",
        stderr);
    return 2;
}

int RefusePosition() {
    std::fputs("sorvane-tool: a side has more than one king in that position\n", stderr);
    return 1;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int PerftCommand(int argc, char** argv) {
    const bool chess960 = argc == 5 && std::strcmp(argv[2], "--chess960") == 0;
    int32_t depth = 0;
    if ((argc != 4 && !chess960) || !ConvertInt(argv[argc - 1], depth) || depth < 1 || depth > 20)
        return Usage();
    Worker& w = MainWorker(EngineSearch());
    Position& pos = w.pos;
    if (!SetPosition(pos, argv[argc - 2], chess960)) return RefusePosition();
    StartPerft(pos);
    auto start = std::chrono::steady_clock::now();
    GenerateMoves(pos, 0);
    int64_t total = 0;
    for (int k = 1; k <= pos.ply[0].moveCount; ++k) {
        const Move m = pos.moves[0][k];
        if (!MakeMove(pos, m, 0)) continue;
        SetInCheck(pos, 1);
        const int64_t count = depth > 1 ? Perft(pos, depth - 1, 1) : 1;
        TakeBack(pos, m, 0);
        total += count;
        std::printf("%s: %lld\n", MoveToText(m).c_str(), (long long)count);
    }
    double seconds = SecondsSince(start);
    std::printf("Nodes: %lld\n", (long long)total);
    std::fprintf(stderr, "Time: %.3f s  Leaves per second: %.0f\n", seconds,
                 seconds > 0 ? double(total) / seconds : 0.0);
    return 0;
}

// eval "<FEN>", or eval --trace "<FEN>": each term for white, for black, and white's gain.
int EvalCommand(int argc, char** argv) {
    const bool trace = argc == 4 && std::strcmp(argv[2], "--trace") == 0;
    if (argc != 3 && !trace) return Usage();
    Position& pos = MainWorker(EngineSearch()).pos;
    if (!SetPosition(pos, argv[argc - 1])) return RefusePosition();
    if (trace) {
        EvalTrace terms;
        EvaluateWithTrace(pos, 0, terms);
        std::printf("%-12s %8s %8s %8s\n", "Term", "White", "Black", "Total");
        int32_t sum[3] = {0, 0, 0};
        for (int term = 0; term < TermCount; ++term) {
            const int32_t w = terms.gain[term][0], b = terms.gain[term][1];
            std::printf("%-12s %8d %8d %8d\n", EvalTermNames[term], w, b, w - b);
            sum[0] += w;
            sum[1] += b;
            sum[2] += w - b;
        }
        std::printf("%-12s %8d %8d %8d\n", "Sum", sum[0], sum[1], sum[2]);
        std::printf("(scores from white's side; the side to move is %s)\n",
                    pos.ply[0].side ? "black" : "white");
    }
    std::printf("Eval: %d\n", Evaluate(pos, MainWorker(EngineSearch()).pawns, 0, -100000, 100000));
    return 0;
}

// Varied positions: openings, middlegames, endgames, mates and promotions.
const char* const BenchPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P3/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1 5",
    "r1bq1rk1/pp2ppbp/2np1np1/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R w KQ - 3 9",
    "rnbqk2r/ppp1bppp/4pn2/3p4/2PP4/2N2N2/PP2PPPP/R1BQKB1R w KQkq - 4 5",
    "r2q1rk1/pp1bbppp/2n1pn2/3p4/2PP4/2NBPN2/PP3PPP/R2Q1RK1 w - - 5 10",
    "2rq1rk1/pb2bppp/1pn1pn2/2pp4/3P4/1PNBPN2/PBQ2PPP/2R2RK1 w - - 0 13",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2NB4/PPP1Q1PP/2KR3R w - - 4 14",
    "3r1rk1/p4ppp/1qb1pn2/2p5/2P5/1P2PN2/PB3PPP/2RQ1RK1 w - - 0 18",
    "2r2rk1/1b3ppp/p3pn2/1pq5/4P3/P1N2Q2/1PP2PPP/2RR2K1 w - - 0 20",
    "r4rk1/5ppp/p1q1p3/1p2Pn2/2pP4/P1P2N2/4QPPP/R4RK1 b - - 0 21",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "8/8/8/4k3/8/8/3PK3/8 w - - 0 1",
    "8/5k2/8/8/3K4/8/2P5/8 w - - 0 1",
    "8/8/4k3/8/2PK4/8/8/8 w - - 0 1",
    "4k3/8/8/8/8/8/8/R3K3 w Q - 0 1",
    "8/8/8/8/8/5k2/8/4K2Q w - - 0 1",
    "6k1/8/6K1/8/8/8/8/1B1N4 w - - 0 1",
    "8/1P6/8/8/8/6k1/8/6K1 w - - 0 1",
    "8/8/1k6/8/8/8/5pK1/8 b - - 0 1",
    "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq - 0 1",
    "6k1/pp4pp/8/2p5/2P5/1P4P1/P4r1P/4R1K1 w - - 0 30",
    "r5k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1",
    "2kr3r/ppp2ppp/8/8/2b5/2N5/PPP2PPP/2KR3R w - - 0 1",
    "6k1/5p1p/6p1/8/8/8/q4PPP/1R4K1 w - - 0 1",
};

int BenchCommand(int argc, char** argv) {
    int32_t depth = 7, threads = 1;
    if (argc > 4 || (argc >= 3 && (!ConvertInt(argv[2], depth) || depth < 1 || depth > 30)) ||
        (argc == 4 && (!ConvertInt(argv[3], threads) || threads < 1 || threads > MaxThreads)))
        return Usage();
    Search& search = EngineSearch();
    Game& game = EngineGame();
    SetThreadCount(search, threads);
    // The searches write their protocol lines to nowhere; bench prints its own summary.
    const int searchOutput = open("/dev/null", O_WRONLY);
    if (searchOutput < 0) return 1;
    SeedRandom(BenchSeed);
    ClearSearchTables(search);
    int64_t total = 0;
    const int count = int(sizeof BenchPositions / sizeof BenchPositions[0]);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        StartGame(game, BenchPositions[i]);
        Limits limits{};
        limits.depth = uint8_t(depth);
        OutputHandle = searchOutput;
        const auto searchStart = std::chrono::steady_clock::now();
        const Move best = RunSearch(search, game, limits, SearchOptions{});
        const double searchSeconds = SecondsSince(searchStart);
        OutputHandle = 1;
        const int64_t nodes = SearchNodes(search);
        total += nodes;
        std::printf("%2d/%d  nodes %10lld  ms %7.0f  bestmove %-6s score %-10s %s\n", i + 1, count,
                    (long long)nodes, searchSeconds * 1000, MoveToText(best).c_str(),
                    ScoreText(search.bestScore).c_str(), BenchPositions[i]);
        std::fflush(stdout);
    }
    const double seconds = SecondsSince(start);
    close(searchOutput);
    std::printf("Nodes: %lld  NPS: %.0f\n", (long long)total,
                seconds > 0 ? double(total) / seconds : 0.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    InitEngineTables(ToolSeed);
    int status = 2;
    if (std::strcmp(argv[1], "perft") == 0)
        status = PerftCommand(argc, argv);
    else if (std::strcmp(argv[1], "eval") == 0)
        status = EvalCommand(argc, argv);
    else if (std::strcmp(argv[1], "bench") == 0)
        status = BenchCommand(argc, argv);
    else
        Usage();
    ReleaseThreads(EngineSearch());  // a search thread must not outlive main
    return status;
}
