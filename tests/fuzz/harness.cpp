// Fuzz harnesses: sessions of commands, and FEN texts.
#include "tests/fuzz/harness.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/fen.h"
#include "eval/eval.h"
#include "movegen/attack.h"
#include "movegen/genkills.h"
#include "movegen/genmoves.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/think.h"
#include "uci/uci.h"
#include "uci/util.h"

namespace {

constexpr int MaxSessionLines = 64;

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

void Require(bool condition, const char* what) {
    if (!condition) Broken(what);
}

// Kings of one colour on the board.
int CountKings(int side) {
    int count = 0;
    for (int s = 0; s < 128; ++s)
        count += OnBoard(s) && Board[s] == ((side ? Black : White) | King);
    return count;
}

// What must hold for the position on the board at `ply`, whatever text set it up. The king
// squares are checked only where each side has one king that cannot be taken: a text with
// two kings of a colour, or with the side not to move in check, lets a tracked king be
// captured, after which its square names another piece.
void CheckPosition(int ply, bool kingsAreSafe) {
    for (int s = 0; s < 256; ++s)
        if (s >= 128 || !OnBoard(s)) Require(Board[s] == 0, "a cell off the squares holds a piece");
    const PlyState& ps = Ply[ply];
    Require(ps.key == ComputeKey(ply), "the key differs from the key computed afresh");
    Require(ps.pawnKey == ComputePawnKey(), "the pawn key differs from the one computed afresh");
    Require(ps.side <= 1, "no side to move");
    if (!kingsAreSafe) return;
    for (int side = 0; side < 2; ++side)
        Require(Board[ps.kingSquare[side]] == ((side ? Black : White) | King),
                "the king square is wrong");
}

// Appends a short clock and depth to a "go", so that no search runs for long.
std::string BoundedCommand(const std::string& line) {
    std::string_view rest = line;
    std::string word;
    SplitToken(rest, ' ', word);
    word = ToUpper(word);
    if (word == "TEST") return "";  // the full self-test takes minutes
    if (word == "GO") return line + " wtime 30 btime 30 depth 4";
    if (word == "SETOPTION") {
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
    return line;
}

}  // namespace

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
        command = BoundedCommand(command);
        const CommandResult result = ExecuteCommand(command);
        if (result != CommandResult::Continue) break;  // quit, or input that ends the engine
        CheckPosition(0, false);
    }
}

void FuzzFenText(const uint8_t* data, size_t size) {
    FuzzSetUp();
    std::string fen(reinterpret_cast<const char*>(data), size);
    SetPosition(fen);
    const bool kingsAreSafe = CountKings(0) == 1 && CountKings(1) == 1 &&
                              !IsAttacked(uint8_t(1 - Ply[0].side), 0, NoSquare);
    CheckPosition(0, kingsAreSafe);

    // Every move made and taken back.
    Piece before[256];
    std::memcpy(before, Board, sizeof Board);
    const PlyState root = Ply[0];
    GenerateMoves(0);
    const int count = Ply[0].moveCount;
    Require(count >= 0 && count < MaxMovesPerPly - 1, "the move list overflows");
    for (int k = 1; k <= count; ++k) {
        const Move m = MoveTable[0][k];
        if (MakeMove(m, 0)) {
            CheckPosition(1, kingsAreSafe);
            TakeBack(m, 0);
        }
        Require(std::memcmp(before, Board, sizeof Board) == 0,
                "take-back did not restore the board");
        if (MakeCapture(m, 0)) TakeBack(m, 0);
        if (MakeTrial(m, 0)) TakeBack(m, 0);
        Require(std::memcmp(before, Board, sizeof Board) == 0, "a make changed the board for good");
    }

    // Captures: the full list without its quiet moves, in the same order.
    GenerateCaptures(0);
    const int captures = Ply[0].moveCount;
    Move captureList[MaxMovesPerPly];
    for (int k = 1; k <= captures; ++k) captureList[k] = MoveTable[0][k];
    GenerateMoves(0);
    int j = 1;
    for (int k = 1; k <= Ply[0].moveCount; ++k)
        if (IsTactical(MoveTable[0][k])) {
            Require(j <= captures && captureList[j] == MoveTable[0][k], "the capture list differs");
            ++j;
        }
    Require(j == captures + 1, "the capture list has extra moves");

    // Evaluation, full and lazy.
    Evaluate(0, -ScoreInfinity, ScoreInfinity);
    Evaluate(0, 0, 1);

    // A short search leaves the game position as it found it.
    ClearLimits();
    SearchLimits.depth = 3;
    SearchLimits.wtime = SearchLimits.btime = 20;
    SearchLimits.clockGiven[0] = SearchLimits.clockGiven[1] = 1;
    IterativeDeepening();
    Require(std::memcmp(before, Board, sizeof Board) == 0, "the search changed the board");
    Require(Ply[0].key == root.key && Ply[0].side == root.side, "the search changed ply 0");
}
