// Fuzz harnesses and the invariant checker.
#include "tests/fuzz/harness.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "board/fen.h"
#include "eval/eval.h"
#include "movegen/attack.h"
#include "movegen/genkills.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/think.h"
#include "uci/uci.h"
#include "uci/util.h"

namespace {

constexpr int MaxSessionLines = 64;

void Require(const std::string& fault) {
    if (fault.empty()) return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", fault.c_str());
    std::abort();
}

// Plays the move on the board by hand and asks the full attack scan whether the mover's king
// is attacked afterwards: an answer independent of the make operations' short cuts.
bool ExposesKingByFullScan(Move m, int ply) {
    Piece saved[256];
    std::memcpy(saved, Board, sizeof Board);
    const int us = Ply[ply].side;
    const Square from = FromOf(m), to = ToOf(m);
    Square king = Ply[ply].kingSquare[us];
    if (TypeOf(Board[from]) == King) {
        king = to;
        if (to == from + 2 || to == from - 2) {  // castling: the rook jumps over the king
            const Square rookFrom = Square(to > from ? from + 3 : from - 4);
            Board[(from + to) / 2] = Board[rookFrom];
            Board[rookFrom] = 0;
        }
    }
    if (TypeOf(Board[from]) == Pawn && CapturedOf(m) && Board[to] == 0)
        Board[Square(to + (us ? 16 : -16))] = 0;  // en passant
    Board[to] = Board[from];
    Board[from] = 0;
    const bool exposed = IsAttacked(uint8_t(us), 0, king);
    std::memcpy(Board, saved, sizeof Board);
    return exposed;
}

// Appends a short clock and depth to a "go", so that no search runs for long.
std::string BoundedCommand(const std::string& line) {
    std::string_view rest = line;
    std::string word;
    SplitToken(rest, ' ', word);
    word = ToUpper(word);
    if (word == "TEST") return "";  // the full self-test takes minutes
    if (word == "GO") return line + " wtime 30 btime 30 depth 4";
    if (word != "SETOPTION") return line;
    // Hash sizes above 16 MB only cost time here; the clamping is still exercised.
    std::string bounded, token;
    std::string_view text = line;
    while (!text.empty()) {
        SplitToken(text, ' ', token);
        int32_t value;
        if (ConvertInt(token, value) && value > 16) token = "16";
        bounded += (bounded.empty() ? "" : " ") + token;
    }
    return bounded;
}

}  // namespace

std::string CheckEveryMove(int ply, bool reachable) {
    Piece before[256];
    std::memcpy(before, Board, sizeof Board);
    GenerateMoves(ply);
    const PlyState record = Ply[ply];
    const int us = record.side;
    Checkers checkers;
    FindCheckers(uint8_t(us), record.kingSquare[us], checkers);
    const int count = Ply[ply].moveCount;
    if (count < 0 || count >= MaxMovesPerPly - 1) return "the move list overflows";
    std::vector<Move> tactical;
    for (int k = 1; k <= count; ++k) {
        const Move m = MoveTable[ply][k];
        const std::string text = MoveToText(m);
        if (IsTactical(m)) tactical.push_back(m);
        const bool castling = TypeOf(Board[FromOf(m)]) == King &&
                              (ToOf(m) == FromOf(m) + 2 || ToOf(m) == FromOf(m) - 2);
        const bool enPassant = CapturedOf(m) && Board[ToOf(m)] == 0;
        const bool exposes = reachable && ExposesKingByFullScan(m, ply);
        const bool foreseen = reachable && !castling && !enPassant && WouldGiveCheck(m, ply);
        const bool hopeless =
            record.inCheck && CannotEscapeCheck(m, record.kingSquare[us], checkers);
        const bool legal = MakeMove(m, ply, record.inCheck ? &checkers : nullptr);
        if (legal) {
            if (Ply[ply + 1].key != ComputeKey(ply + 1)) return text + ": the key drifted";
            if (Ply[ply + 1].pawnKey != ComputePawnKey()) return text + ": the pawn key drifted";
            if (reachable) {
                const bool check = IsAttacked(Ply[ply + 1].side, uint8_t(ply + 1), NoSquare);
                if (!BoardIsOk(ply + 1)) return text + ": the board check failed";
                if (GivesCheck(m, ply) != check) return text + ": GivesCheck disagrees";
                if (!castling && !enPassant && foreseen != check)
                    return text + ": WouldGiveCheck disagrees";
                if (hopeless) return text + ": a check evasion was ruled out";
            }
            TakeBack(m, ply);
        }
        if (reachable && legal == exposes) return text + ": legality disagrees with a full scan";
        const bool capture = MakeCapture(m, ply);
        if (capture) TakeBack(m, ply);
        const bool trial = MakeTrial(m, ply);
        if (trial) TakeBack(m, ply);
        if (capture != legal || trial != legal) return text + ": the makes disagree";
        if (std::memcmp(before, Board, sizeof Board) != 0) return text + ": board not restored";
        if (std::memcmp(&record, &Ply[ply], sizeof record) != 0) return text + ": record changed";
    }
    GenerateCaptures(ply);
    if (Ply[ply].moveCount != int(tactical.size())) return "the capture list has another length";
    for (int k = 1; k <= Ply[ply].moveCount; ++k)
        if (MoveTable[ply][k] != tactical[size_t(k - 1)]) return "the capture list differs";
    return "";
}

void FuzzSetUp() {
    static int nowhere = -1;
    if (nowhere < 0) {
        InitEngineTables(20261206);
        nowhere = open("/dev/null", O_WRONLY);
    }
    if (HashSizeMB != 4) {
        HashSizeMB = 4;
        AllocateHash();
    }
    OutputHandle = nowhere;
}

void FuzzCommandSession(const uint8_t* data, size_t size) {
    FuzzSetUp();
    SetPosition(StartFen);
    ClearHash();
    SearchLimits = Limits{};
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string line;
    for (int lines = 0; !text.empty() && lines < MaxSessionLines; ++lines) {
        SplitToken(text, '\n', line);
        std::string command;
        for (char c : line)
            if (c != '\r') command += c;
        if (ExecuteCommand(BoundedCommand(command)) != CommandResult::Continue) break;
        Require(Ply[0].key == ComputeKey(0) ? "" : "the game position's key drifted");
    }
}

void FuzzFenText(const uint8_t* data, size_t size) {
    FuzzSetUp();
    SetPosition(std::string(reinterpret_cast<const char*>(data), size));
    // Only a position with one king a side, the side not to move not in check, is one a game
    // can reach; elsewhere a king can be taken and the board rules do not hold.
    int kings[2] = {0, 0};
    for (int s = 0; s < 128; ++s)
        if (OnBoard(s) && TypeOf(Board[s]) == King) ++kings[SideOf(Board[s])];
    const bool reachable =
        kings[0] == 1 && kings[1] == 1 && !IsAttacked(uint8_t(1 - Ply[0].side), 0, NoSquare);
    Require(CheckEveryMove(0, reachable));
    Evaluate(0, -ScoreInfinity, ScoreInfinity);
    Evaluate(0, 0, 1);
    // A short search leaves the game position as it found it.
    Piece before[256];
    std::memcpy(before, Board, sizeof Board);
    ClearLimits();
    SearchLimits.depth = 3;
    SearchLimits.wtime = SearchLimits.btime = 20;
    SearchLimits.clockGiven[0] = SearchLimits.clockGiven[1] = 1;
    IterativeDeepening();
    Require(std::memcmp(before, Board, sizeof Board) == 0 ? "" : "the search changed the board");
}
