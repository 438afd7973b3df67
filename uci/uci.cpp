// The UCI command loop and the handshake commands.
#include "uci/uci.h"

#include <unistd.h>

#include <cstdio>

#include <cstdlib>

#include "board/fen.h"
#include "eval/eval.h"
#include "movegen/attack.h"
#include "movegen/genmoves.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/sortmoves.h"
#include "think/think.h"
#include "uci/tests.h"
#include "uci/util.h"

void InitEngineTables(uint32_t randomSeed) {
    SeedRandom(randomSeed);
    InitDistance();
    InitZobrist();
    HashSizeMB = HashDefaultMB;
    AllocateHash();
    ClearOrdering();  // history counters start at 1: their score divides by them
}

void StartEngine(uint32_t randomSeed) {
    InitEngineTables(randomSeed);
    WriteReportLine("Sorvane v 1.0b");
    SetPosition(StartFen);
    OutputHandle = fileno(stdout);
}

void StopEngine() { ReleaseHash(); }

static void HandleUci() {
    WriteLine("id name Sorvane v 1.0b");
    WriteLine("id author Omberlin");
    WriteLine("option name Hash type spin default 32 min 4 max 512");
    WriteLine("option name Clear Hash type button");
    WriteLine("uciok");
}

// A move the GUI sent that the engine cannot play means the two disagree about the position;
// going on would search a different game, so the engine stops with a message.
[[noreturn]] static void RejectMove(const std::string& token) {
    std::fprintf(stderr, "illegal move in position command: %s\n", token.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

// Books the game position in the history of reversible moves. A pawn move, a capture or a
// promotion starts it again; when it is full the oldest key gives way.
static void BookHistory(Move move) {
    if (TypeOf(Board[ToOf(move)]) == Pawn || IsTactical(move)) HistoryCount = 0;
    if (HistoryCount == HistorySlots) {
        for (int s = 1; s < HistorySlots; ++s) GameHistory[s] = GameHistory[s + 1];
        --HistoryCount;
    }
    GameHistory[++HistoryCount] = Ply[0].key;
}

// Plays one move text ("e2e4", "e7e8q") on the game position.
static void PlayMoveText(const std::string& token) {
    std::string text = ToUpper(token);
    if (text.size() < 4) RejectMove(token);
    Square from = Square(((text[1] - '1') * 16) | (text[0] - 'A'));
    Square to = Square((text[3] - '1') * 16 + (text[2] - 'A'));
    int promotion = 0;
    if (text.size() == 5) {
        const char* letters = "QRBN";
        for (int i = 0; i < 4; ++i)
            if (text[4] == letters[i]) promotion = Queen + i;
    }
    const Move wanted = MakeMoveWord(from, to, 0, promotion);
    GenerateMoves(0);
    Move found = NoMove;
    bool any = false;
    for (int k = 1; k <= Ply[0].moveCount; ++k)
        if ((MoveTable[0][k] & 0xFF00FFFF) == wanted) {
            found = MoveTable[0][k];
            any = true;
        }
    if (!any || !MakeMove(found, 0)) RejectMove(token);
    CopyPlyState(1, 0);
    Ply[0].inCheck = IsAttacked(Ply[0].side, 0, NoSquare);  // the next make relies on it
    BookHistory(found);
}

// position startpos|fen <fen> [moves <move>...]
static void HandlePosition(std::string& rest) {
    std::string token;
    SplitToken(rest, ' ', token);
    const std::string kind = ToUpper(token);
    if (kind == "FEN") {
        // A full FEN has six fields; a shorter one ends where the move list begins.
        std::string fen, field;
        for (int i = 0; i < 6 && !rest.empty(); ++i) {
            std::string peek = rest;
            SplitToken(peek, ' ', field);
            if (ToUpper(field) == "MOVES") break;
            rest = peek;
            fen += (i ? " " : "") + field;
        }
        SetPosition(fen);
    }
    if (kind == "STARTPOS") SetPosition(StartFen);
    if (!rest.empty()) SplitToken(rest, ' ', token);  // the word "moves"
    while (!rest.empty()) {
        SplitToken(rest, ' ', token);
        if (!token.empty()) PlayMoveText(token);  // repeated spaces are not moves
    }
}

// go [depth N] [movetime N] [wtime N] [btime N] [winc N] [binc N] [movestogo N] [mate N]
//    [nodes N] [infinite] [ponder]; unknown words (searchmoves and its moves) are skipped.
static void HandleGo(std::string& rest) {
    ClearLimits();
    Limits& l = SearchLimits;
    std::string token;
    auto value = [&rest, &token]() {
        SplitToken(rest, ' ', token);
        return ConvertIntOrDie(token);
    };
    while (!rest.empty()) {
        SplitToken(rest, ' ', token);
        const std::string word = ToLower(token);
        if (word == "depth") l.depth = uint8_t(value());
        if (word == "movetime") l.movetime = value();
        if (word == "wtime") {
            l.wtime = value();
            l.clockGiven[0] = 1;
        }
        if (word == "btime") {
            l.btime = value();
            l.clockGiven[1] = 1;
        }
        if (word == "winc") l.winc = value();
        if (word == "binc") l.binc = value();
        if (word == "movestogo") l.movestogo = uint8_t(value());
        if (word == "mate") l.mate = uint8_t(value());
        if (word == "infinite") l.infinite = 1;
        if (word == "nodes") l.nodes = value();
        if (word == "ponder") l.ponder = 1;
    }
    IterativeDeepening();
}

// setoption name Hash value N | setoption name Clear Hash | setoption name Ponder value x
static void HandleSetOption(std::string& rest) {
    std::string token;
    SplitToken(rest, ' ', token);  // "name"
    SplitToken(rest, ' ', token);
    const std::string option = ToUpper(token);
    if (option == "HASH") {
        SplitToken(rest, ' ', token);  // "value"
        SplitToken(rest, ' ', token);
        HashSizeMB = ConvertIntOrDie(token);
        AllocateHash();  // clamps the size to the announced range
    }
    if (option == "PONDER") {
        SplitToken(rest, ' ', token);
        SplitToken(rest, ' ', token);
    }
    if (option == "CLEAR" && ToUpper(rest) == "HASH") ClearHash();
}

bool ExecuteCommand(const std::string& line) {
    std::string rest = line, word;
    SplitToken(rest, ' ', word);
    word = ToUpper(word);
    if (word == "QUIT") return false;
    if (word == "UCI") HandleUci();
    if (word == "ISREADY") WriteLine("readyok");
    if (word == "UCINEWGAME") {
        SetPosition(StartFen);
        ClearHash();
    }
    if (word == "POSITION") HandlePosition(rest);
    if (word == "GO") HandleGo(rest);
    if (word == "SETOPTION") HandleSetOption(rest);
    if (word == "PONDERHIT") SearchLimits.ponder = 0;
    if (word == "STOP") StopFlag = 1;
    if (word == "TEST") RunPerftTest(SelfTestDepth, SelfTestFen);
    return true;
}

void CommandLoop() {
    std::string line;
    while (ReadLine(line))
        if (!ExecuteCommand(line)) return;
}
