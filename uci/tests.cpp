// The perft self-test.
#include "uci/tests.h"

#include <chrono>
#include <cstdio>

#include "board/fen.h"
#include "movegen/attack.h"
#include "movemake/movemake.h"
#include "think/sortmoves.h"
#include "think/think.h"
#include "uci/util.h"

// Set by StartPerft when the game position is one a game can reach.
static bool ChecksFromTheMove = false;

void StartPerft(const Position& pos) {
    ChecksFromTheMove = !IsAttacked(pos, uint8_t(1 - pos.ply[0].side), 0, NoSquare);
}

const char SelfTestFen[] = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";

// Counts the legal moves at `ply`: the leaves of a perft, which need no list. A position with
// no king or several kings of the side to move has its moves made and taken back.
static int64_t CountLeaves(Position& pos, int ply) {
    const int counted = CountLegalMoves(pos, ply);
    if (counted >= 0) return counted;
    GenerateMoves(pos, ply);
    int64_t count = 0;
    for (int k = 1; k <= pos.ply[ply].moveCount; ++k) {
        const Move m = pos.moves[ply][k];
        if (MakeTrial(pos, m, ply)) {
            TakeBack(pos, m, ply);
            ++count;
        }
    }
    return count;
}

int64_t Perft(Position& pos, int depth, int ply) {
    if (depth == 1) return CountLeaves(pos, ply);
    GenerateMoves(pos, ply);
    // Every make tests legality itself, so the list needs no filter and no order.
    int64_t leaves = 0;
    const int n = pos.ply[ply].moveCount;
    for (int k = 1; k <= n; ++k) {
        const Move m = pos.moves[ply][k];
        if (MakeMove(pos, m, ply)) {
            if (ChecksFromTheMove)
                pos.ply[ply + 1].inCheck = GivesCheck(pos, m, ply);
            else
                SetInCheck(pos, ply + 1);
            leaves += Perft(pos, depth - 1, ply + 1);
            TakeBack(pos, m, ply);
        }
    }
    return leaves;
}

// The report's floating-point numbers: 15 significant digits, trailing zeros dropped.
static std::string GeneralFormat(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

void RunPerftTest(Game& game, int maxDepth, const std::string& fen) {
    StartGame(game, fen);
    StartPerft(game.pos);
    double speed = 0;
    for (int d = 1; d <= maxDepth; ++d) {
        const auto start = std::chrono::steady_clock::now();
        const int64_t leaves = Perft(game.pos, d, 0);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const int32_t t =
            int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
        if (t > 0) speed = double(leaves) / t * 1000.0;
        WriteReportLine("Depth=" + std::to_string(d) + " Nodes=" + std::to_string(leaves) +
                        " Time=" + GeneralFormat(t / 1000.0) + " NPS=" + GeneralFormat(speed));
    }
}
