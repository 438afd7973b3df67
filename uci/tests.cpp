// The perft self-test.
#include "uci/tests.h"

#include <cstdio>

#include "board/fen.h"
#include "movegen/attack.h"
#include "movemake/movemake.h"
#include "think/sortmoves.h"
#include "think/think.h"
#include "uci/util.h"

int64_t PerftNodes;

// Set by StartPerft when the game position is one a game can reach.
static bool ChecksFromTheMove = false;

void StartPerft() { ChecksFromTheMove = !IsAttacked(uint8_t(1 - Ply[0].side), 0, NoSquare); }

const char SelfTestFen[] = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";

void Perft(int depth, int ply) {
    GenerateMoves(ply);
    // At the last ply the legal moves are the leaves: counting them is enough, without the
    // ordering the filter would give them. Out of check, a move that is neither a king move
    // nor en passant exposes the own king only when it takes a pinned piece off its line, so
    // the pins are found once and such moves are counted without being made.
    if (depth == 1) {
        const PlyState& ps = Ply[ply];
        const Square king = ps.kingSquare[ps.side];
        Pins pins;
        pins.count = 0;
        if (!ps.inCheck) FindPins(ps.side, king, pins);
        for (int k = 1; k <= ps.moveCount; ++k) {
            const Move m = MoveTable[ply][k];
            const Square from = FromOf(m);
            const bool enPassant = CapturedOf(m) && ToOf(m) == ps.epSquare;
            if (!ps.inCheck && !enPassant && TypeOf(Board[from]) != King) {
                bool free = true;
                for (int i = 0; i < pins.count; ++i)
                    if (pins.squares[i] == from)
                        free = LineStep.step[ToOf(m) - king + 119] == pins.steps[i];
                PerftNodes += free;
            } else if (from == king && ToOf(m) != from + 2 && ToOf(m) != from - 2) {
                // A king step is legal when its target is not attacked once the king has
                // left its square (a slider behind it then reaches further).
                Board[king] = 0;
                PerftNodes += !IsAttacked(ps.side, uint8_t(ply), ToOf(m));
                Board[king] = Piece((ps.side ? Black : White) | King);
            } else if (MakeTrial(m, ply)) {
                ++PerftNodes;
                TakeBack(m, ply);
            }
        }
        return;
    }
    // Every make tests legality itself, so the list needs no filter and no order.
    const int n = Ply[ply].moveCount;
    for (int k = 1; k <= n; ++k) {
        const Move m = MoveTable[ply][k];
        if (MakeMove(m, ply)) {
            if (ChecksFromTheMove)
                Ply[ply + 1].inCheck = GivesCheck(m, ply);
            else
                SetInCheck(ply + 1);
            Perft(depth - 1, ply + 1);
            TakeBack(m, ply);
        }
    }
}

// The report's floating-point numbers: 15 significant digits, trailing zeros dropped.
static std::string GeneralFormat(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

void RunPerftTest(int maxDepth, const std::string& fen) {
    SetPosition(fen);
    StartPerft();
    double speed = 0;
    ClearOrdering();
    for (int d = 1; d <= maxDepth; ++d) {
        PerftNodes = 0;
        StartClock();
        Perft(d, 0);
        int32_t t = ElapsedMs();
        if (t > 0) speed = double(PerftNodes) / t * 1000.0;
        WriteReportLine("Depth=" + std::to_string(d) + " Nodes=" + std::to_string(PerftNodes) +
                        " Time=" + GeneralFormat(t / 1000.0) + " NPS=" + GeneralFormat(speed));
    }
}
