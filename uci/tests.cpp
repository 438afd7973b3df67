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

// Whether a move of the list at `ply` is legal, answered as cheaply as its kind allows.
// Castling is legal as generated: the generator tested every square the king stands on or
// crosses. A king step is legal when its target is not attacked once the king has left its
// square (a slider behind it then reaches further). Any other move but en passant must take
// or block the one checker when in check, and exposes the king only when it takes a pinned
// piece off its line. En passant, which empties two squares, is made and taken back.
static bool IsLegalLeaf(Position& pos, Move m, int ply, const Pins& pins,
                        const Checkers& checkers) {
    const Piece* board = pos.board;
    const PlyState& ps = pos.ply[ply];
    const Square king = ps.kingSquare[ps.side], from = FromOf(m), to = ToOf(m);
    if (from == king && TypeOf(board[from]) == King) {
        if (IsCastling(board[from], m)) return true;
        return !IsAttackedWith(pos, ps.side, to, Occupied(pos) ^ SquareBit(king));
    }
    if (!IsEnPassant(ps, m) && TypeOf(board[from]) != King) {
        if (ps.inCheck && CannotEscapeCheck(pos, m, ply, checkers)) return false;
        for (int i = 0; i < pins.count; ++i)
            if (pins.squares[i] == from) return LineStepBetween(king, to) == pins.steps[i];
        return true;
    }
    if (!MakeTrial(pos, m, ply)) return false;
    TakeBack(pos, m, ply);
    return true;
}

// Counts the legal moves of the list at `ply`: the leaves of a perft, which need no order.
// Out of check, only moves from the king's square or a pinned piece's, en passant, and the
// moves of any other king (a FEN text may give a side two) need a closer look;
// the others are legal as generated.
static int64_t CountLegalMoves(Position& pos, int ply) {
    const PlyState& ps = pos.ply[ply];
    const Square king = ps.kingSquare[ps.side];
    Pins pins;
    FindPins(pos, ps.side, king, pins);
    Checkers checkers;
    checkers.count = 0;
    uint64_t marked[2] = {~0ull, ~0ull};  // a bit per 0x88 square 0..127
    if (ps.inCheck) {
        FindCheckers(pos, ps.side, king, checkers);
    } else {
        marked[0] = marked[1] = 0;
        auto mark = [&marked](Square s) { marked[s >> 6] |= 1ull << (s & 63); };
        // Every own king: the colour bit is moved onto the bit that TypesBetween marks.
        const uint64_t colourBits = ps.side ? BlackBits : WhiteBits;
        const int toMarkBit = ps.side ? 4 : 3;
        ForEachSquare(
            pos,
            [&](uint64_t word) {
                return TypesBetween(word, King, King) & (word & colourBits) >> toMarkBit;
            },
            mark);
        for (int i = 0; i < pins.count; ++i) mark(pins.squares[i]);
    }
    int64_t count = 0;
    for (int k = 1; k <= ps.moveCount; ++k) {
        const Move m = pos.moves[ply][k];
        const Square from = FromOf(m);
        if (!((marked[from >> 6] >> (from & 63)) & 1) && !IsEnPassant(ps, m))
            ++count;
        else
            count += IsLegalLeaf(pos, m, ply, pins, checkers);
    }
    return count;
}

int64_t Perft(Position& pos, int depth, int ply) {
    GenerateMoves(pos, ply);
    if (depth == 1) return CountLegalMoves(pos, ply);
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
