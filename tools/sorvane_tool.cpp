// sorvane-tool: the developer's tool, built from the engine's own code.
//   sorvane-tool perft "<FEN>" <depth>   leaves per root move, then the total
//   sorvane-tool eval "<FEN>"            the static evaluation for the side to move
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/fen.h"
#include "eval/eval.h"
#include "movemake/movemake.h"
#include "think/sortmoves.h"
#include "uci/tests.h"
#include "uci/uci.h"
#include "uci/util.h"

namespace {

constexpr uint32_t ToolSeed = 20261206;  // fixed, so every run prints the same

int Usage() {
    std::fputs(
        "usage: sorvane-tool <command> [arguments]\n"
        "  perft \"<FEN>\" <depth>   count the legal move paths, per root move (depth 1..20)\n"
        "  eval \"<FEN>\"            the static evaluation for the side to move\n",
        stderr);
    return 2;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int PerftCommand(int argc, char** argv) {
    int32_t depth = 0;
    if (argc != 4 || !ConvertInt(argv[3], depth) || depth < 1 || depth > 20) return Usage();
    SetPosition(argv[2]);
    auto start = std::chrono::steady_clock::now();
    GenerateMoves(0);
    FilterLegalMoves(0);
    int64_t total = 0;
    for (int k = 1; k <= Ply[0].moveCount; ++k) {
        Move m = MoveTable[0][OrderTable[0][k]];
        int64_t count = 1;
        if (depth > 1) {
            MakeMove(m, 0);
            PerftNodes = 0;
            Perft(depth - 1, 1);
            TakeBack(m, 0);
            count = PerftNodes;
        }
        total += count;
        std::printf("%s: %lld\n", MoveToText(m).c_str(), (long long)count);
    }
    double seconds = SecondsSince(start);
    std::printf("Nodes: %lld\n", (long long)total);
    std::fprintf(stderr, "Time: %.3f s  Leaves per second: %.0f\n", seconds,
                 seconds > 0 ? double(total) / seconds : 0.0);
    return 0;
}

int EvalCommand(int argc, char** argv) {
    if (argc != 3) return Usage();
    SetPosition(argv[2]);
    std::printf("Eval: %d\n", Evaluate(0, -100000, 100000));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    InitEngineTables(ToolSeed);
    if (std::strcmp(argv[1], "perft") == 0) return PerftCommand(argc, argv);
    if (std::strcmp(argv[1], "eval") == 0) return EvalCommand(argc, argv);
    return Usage();
}
