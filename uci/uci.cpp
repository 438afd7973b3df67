// The UCI command loop and the handshake commands.
#include "uci/uci.h"

#include <unistd.h>

#include <algorithm>
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
    SetThreadCount(1);
}

void StartEngine(uint32_t randomSeed) {
    InitEngineTables(randomSeed);
    WriteReportLine("Sorvane v 1.0b");
    SetPosition(Game, StartFen);
    OutputHandle = fileno(stdout);
}

void StopEngine() {
    ReleaseThreads();
    ReleaseHash();
}

static void HandleUci() {
    WriteLine("id name Sorvane v 1.0b");
    WriteLine("id author Omberlin");
    WriteLine("option name Hash type spin default " + std::to_string(HashDefaultMB) + " min " +
              std::to_string(HashMinMB) + " max " + std::to_string(HashMaxMB));
    WriteLine("option name Clear Hash type button");
    if (MaxThreads > 1)
        WriteLine("option name Threads type spin default 1 min 1 max " +
                  std::to_string(MaxThreads));
    WriteLine("option name Ponder type check default false");
    WriteLine("option name MultiPV type spin default 1 min 1 max " + std::to_string(MaxMultiPv));
    WriteLine("option name Move Overhead type spin default " +
              std::to_string(MoveOverheadDefaultMs) + " min 0 max " +
              std::to_string(MoveOverheadMaxMs));
    WriteLine("option name UCI_LimitStrength type check default false");
    WriteLine("option name UCI_Elo type spin default " + std::to_string(LevelEloDefault) + " min " +
              std::to_string(LevelEloMin) + " max " + std::to_string(LevelEloMax));
    WriteLine("uciok");
}

// A move the GUI sent that the engine cannot play means the two disagree about the position;
// going on would search a different game, so the command fails and the engine stops.
static bool RejectMove(const std::string& token) {
    std::fprintf(stderr, "illegal move in position command: %s\n", token.c_str());
    std::fflush(stderr);
    return false;
}

// Takes the next token as a number; a token that is not one fails the command.
static bool TakeNumber(std::string_view& rest, int32_t& value) {
    std::string token;
    SplitToken(rest, ' ', token);
    if (ConvertInt(token, value)) return true;
    std::fprintf(stderr, "'%s' is not a valid integer value\n", token.c_str());
    std::fflush(stderr);
    return false;
}

// position startpos|fen <fen> [moves <move>...]
static bool HandlePosition(std::string_view& rest) {
    std::string token;
    SplitToken(rest, ' ', token);
    const std::string kind = ToUpper(token);
    if (kind == "FEN") {
        // A full FEN has six fields; a shorter one ends where the move list begins.
        std::string fen, field;
        for (int i = 0; i < 6 && !rest.empty(); ++i) {
            std::string_view peek = rest;
            SplitToken(peek, ' ', field);
            if (ToUpper(field) == "MOVES") break;
            rest = peek;
            fen += (i ? " " : "") + field;
        }
        SetPosition(Game, fen);
    }
    if (kind == "STARTPOS") SetPosition(Game, StartFen);
    if (!rest.empty()) SplitToken(rest, ' ', token);  // the word "moves"
    while (!rest.empty()) {
        SplitToken(rest, ' ', token);
        if (!token.empty() && !PlayMoveText(Game, token)) return RejectMove(token);  // "": no move
    }
    return true;
}

// go [depth N] [movetime N] [wtime N] [btime N] [winc N] [binc N] [movestogo N] [mate N]
//    [nodes N] [infinite] [ponder]; unknown words (searchmoves and its moves) are skipped.
static bool HandleGo(std::string_view& rest) {
    ClearLimits();
    Limits& l = SearchLimits;
    std::string token;
    int32_t v = 0;
    while (!rest.empty()) {
        SplitToken(rest, ' ', token);
        const std::string word = ToLower(token);
        const bool numeric = word == "depth" || word == "movetime" || word == "wtime" ||
                             word == "btime" || word == "winc" || word == "binc" ||
                             word == "movestogo" || word == "mate" || word == "nodes";
        if (numeric && !TakeNumber(rest, v)) return false;
        if (word == "depth") l.depth = uint8_t(v);  // 8-bit fields keep the low byte
        if (word == "movetime") l.movetime = v;
        if (word == "wtime") {
            l.wtime = v;
            l.clockGiven[0] = 1;
        }
        if (word == "btime") {
            l.btime = v;
            l.clockGiven[1] = 1;
        }
        if (word == "winc") l.winc = v;
        if (word == "binc") l.binc = v;
        if (word == "movestogo") l.movestogo = uint8_t(v);
        if (word == "mate") l.mate = v;
        if (word == "infinite") l.infinite = 1;
        if (word == "nodes") l.nodes = v;
        if (word == "ponder") l.ponder = 1;
    }
    IterativeDeepening();
    return true;
}

// setoption name <name> [value <value>]: names may hold spaces ("Clear Hash", "Move
// Overhead") and are read in any case; a name the engine does not know is ignored. A number
// that is not one fails the command, as everywhere; a number out of range is clamped.
static bool HandleSetOption(std::string_view& rest) {
    std::string token, name, value;
    SplitToken(rest, ' ', token);  // "name"
    bool inValue = false;
    while (!rest.empty()) {
        SplitToken(rest, ' ', token);
        if (token.empty()) continue;
        if (!inValue && ToUpper(token) == "VALUE") {
            inValue = true;
            continue;
        }
        std::string& field = inValue ? value : name;
        field += (field.empty() ? "" : " ") + token;
    }
    name = ToUpper(name);
    std::string_view valueText = value;
    int32_t number = 0;
    const bool numeric = name == "HASH" || name == "THREADS" || name == "MULTIPV" ||
                         name == "MOVE OVERHEAD" || name == "UCI_ELO";
    if (numeric && !TakeNumber(valueText, number)) return false;
    if (name == "HASH") {
        HashSizeMB = number;
        AllocateSearchTables();  // clamps the size to the announced range
    }
    if (name == "THREADS") SetThreadCount(number);  // clamps the count to the announced range
    if (name == "MULTIPV") MultiPv = std::clamp(number, 1, MaxMultiPv);
    if (name == "MOVE OVERHEAD") MoveOverheadMs = std::clamp(number, 0, MoveOverheadMaxMs);
    if (name == "PONDER") PonderEnabled = ToUpper(value) == "TRUE";
    if (name == "UCI_LIMITSTRENGTH") LimitStrength = ToUpper(value) == "TRUE";
    if (name == "UCI_ELO") LevelElo = std::clamp(number, LevelEloMin, LevelEloMax);
    if (name == "CLEAR HASH") ClearSearchTables();
    return true;
}

CommandResult ExecuteCommand(const std::string& line) {
    std::string_view rest = line;
    std::string word;
    SplitToken(rest, ' ', word);
    word = ToUpper(word);
    bool ok = true;
    if (word == "QUIT") return CommandResult::Quit;
    if (word == "UCI") HandleUci();
    if (word == "ISREADY") WriteLine("readyok");
    if (word == "UCINEWGAME") {
        SetPosition(Game, StartFen);
        ClearSearchTables();
    }
    if (word == "POSITION") ok = HandlePosition(rest);
    if (word == "GO") ok = HandleGo(rest);
    if (word == "SETOPTION") ok = HandleSetOption(rest);
    if (word == "PONDERHIT") SearchLimits.ponder = 0;
    if (word == "STOP") StopFlag = true;
    if (word == "TEST") RunPerftTest(SelfTestDepth, SelfTestFen);
    return ok ? CommandResult::Continue : CommandResult::Fatal;
}

int CommandLoop() {
    std::string line;
    while (ReadLine(line)) {
        const CommandResult result = ExecuteCommand(line);
        if (result == CommandResult::Quit) return 0;
        if (result == CommandResult::Fatal) return 1;
    }
    return 0;  // the end of input ends the engine like "quit"
}
