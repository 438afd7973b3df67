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

// Whether a move of the list at `ply` is legal, answered as cheaply as its kind allows.
// Castling is legal as generated: the generator tested every square the king stands on or
// crosses. A king step is legal when its target is not attacked once the king has left its
// square (a slider behind it then reaches further). Any other move but en passant must take
// or block the one checker when in check, and exposes the king only when it takes a pinned
// piece off its line. En passant, which empties two squares, is made and taken back.
static bool IsLegalLeaf(Move m, int ply, const Pins& pins, const Checkers& checkers) {
    const PlyState& ps = Ply[ply];
    const Square king = ps.kingSquare[ps.side], from = FromOf(m), to = ToOf(m);
    if (from == king && TypeOf(Board[from]) == King) {
        if (to == from + 2 || to == from - 2) return true;
        Board[king] = 0;
        const bool safe = !IsAttacked(ps.side, uint8_t(ply), to);
        Board[king] = Piece((ps.side ? Black : White) | King);
        return safe;
    }
    const bool enPassant = CapturedOf(m) && to == ps.epSquare;
    if (!enPassant && TypeOf(Board[from]) != King) {
        if (ps.inCheck && CannotEscapeCheck(m, king, checkers)) return false;
        for (int i = 0; i < pins.count; ++i)
            if (pins.squares[i] == from) return LineStep.step[to - king + 119] == pins.steps[i];
        return true;
    }
    if (!MakeTrial(m, ply)) return false;
    TakeBack(m, ply);
    return true;
}

// Counts the legal moves of the list at `ply`: the leaves of a perft, which need no order.
// Out of check, only moves from the king's square or a pinned piece's, moves to the en-passant
// square, and the moves of any other king (a FEN text may give a side two) need a closer look;
// the others are legal as generated.
static int64_t CountLegalMoves(int ply) {
    const PlyState& ps = Ply[ply];
    const Square king = ps.kingSquare[ps.side];
    Pins pins;
    FindPins(ps.side, king, pins);
    Checkers checkers;
    checkers.count = 0;
    uint64_t marked[2] = {~0ull, ~0ull};  // a bit per 0x88 square 0..127
    if (ps.inCheck) {
        FindCheckers(ps.side, king, checkers);
    } else {
        marked[0] = marked[1] = 0;
        auto mark = [&marked](Square s) { marked[s >> 6] |= 1ull << (s & 63); };
        // Every own king: the colour bit is moved onto the bit that TypesBetween marks.
        const uint64_t colourBits = ps.side ? BlackBits : WhiteBits;
        const int toMarkBit = ps.side ? 4 : 3;
        ForEachSquare(
            [&](uint64_t word) {
                return TypesBetween(word, King, King) & (word & colourBits) >> toMarkBit;
            },
            mark);
        for (int i = 0; i < pins.count; ++i) mark(pins.squares[i]);
    }
    int64_t count = 0;
    for (int k = 1; k <= ps.moveCount; ++k) {
        const Move m = MoveTable[ply][k];
        const Square from = FromOf(m);
        if (!((marked[from >> 6] >> (from & 63)) & 1) && ToOf(m) != ps.epSquare)
            ++count;
        else
            count += IsLegalLeaf(m, ply, pins, checkers);
    }
    return count;
}

void Perft(int depth, int ply) {
    GenerateMoves(ply);
    if (depth == 1) {
        PerftNodes += CountLegalMoves(ply);
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
