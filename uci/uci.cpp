// The UCI command loop and the handshake commands.
#include "uci/uci.h"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

#include "board/fen.h"
#include "eval/eval.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/think.h"
#include "uci/options.h"
#include "uci/tests.h"
#include "uci/util.h"

namespace {

Game TheGame;
Search TheSearch;

// Lines that came during a search and wait for its answer, oldest first.
std::deque<std::string> PutAside;
// The running search still takes "stop", "isready", "ponderhit" and "quit" as they come;
// cleared once it has been stopped.
bool Listening = false;

}  // namespace

Game& EngineGame() { return TheGame; }
Search& EngineSearch() { return TheSearch; }

void InitEngineTables(uint32_t randomSeed) {
    SeedRandom(randomSeed);
    InitDistance();
    InitZobrist();
    HashSizeMB = HashDefaultMB;
    AllocateHash();
    SetThreadCount(TheSearch, Options[ThreadsOption].value);
}

void StartEngine(uint32_t randomSeed) {
    InitEngineTables(randomSeed);
    WriteReportLine("Sorvane v 1.0b");
    StartGame(TheGame, StartFen);
    OutputHandle = fileno(stdout);
}

void StopEngine() {
    StopSearch(TheSearch);
    WaitForSearch(TheSearch);
    ReleaseThreads(TheSearch);
    ReleaseHash();
}

static void HandleUci() {
    WriteLine("id name Sorvane v 1.0b");
    WriteLine("id author Omberlin");
    for (const Option& option : Options)
        if (IsOffered(option)) WriteLine(OptionLine(option));
    WriteLine("uciok");
}

// A move the GUI sent that the engine cannot play means the two disagree about the position;
// going on would search a different game, so the command fails and the engine stops.
static bool RejectMove(const std::string& token) {
    std::fprintf(stderr, "illegal move in position command: %s\n", token.c_str());
    std::fflush(stderr);
    return false;
}

// A position the search cannot follow (more than one king of a side) is no game to go on with,
// so the command fails as for an illegal move.
static bool RejectPosition(const std::string& fen) {
    std::fprintf(stderr, "position refused, a side has more than one king: %s\n", fen.c_str());
    std::fflush(stderr);
    return false;
}

// A number the engine cannot read leaves it unsure of what was meant, so the command fails.
static bool RejectNumber(const std::string& token) {
    std::fprintf(stderr, "'%s' is not a valid integer value\n", token.c_str());
    std::fflush(stderr);
    return false;
}

// Takes the next token as a number; a token that is not one fails the command.
static bool TakeNumber(std::string_view& rest, int32_t& value) {
    std::string token;
    SplitToken(rest, ' ', token);
    return ConvertInt(token, value) || RejectNumber(token);
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
        if (!StartGame(TheGame, fen, Options[Chess960Option].value)) return RejectPosition(fen);
    }
    if (kind == "STARTPOS") StartGame(TheGame, StartFen, Options[Chess960Option].value);
    if (!rest.empty()) SplitToken(rest, ' ', token);  // the word "moves"
    while (!rest.empty()) {
        SplitToken(rest, ' ', token);
        if (!token.empty() && !PlayMoveText(TheGame, token))
            return RejectMove(token);  // "": no move
    }
    return true;
}

// go [depth N] [movetime N] [wtime N] [btime N] [winc N] [binc N] [movestogo N] [mate N]
//    [nodes N] [infinite] [ponder]; unknown words (searchmoves and its moves) are skipped.
static bool HandleGo(std::string_view& rest) {
    Limits l{};
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
    Listening = true;
    StartSearch(TheSearch, TheGame, l, CurrentSearchOptions());
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
    if (SetOption(name, value) == SetOptionResult::NotNumber)
        return RejectNumber(value.substr(0, value.find(' ')));
    return true;
}

CommandResult ExecuteCommand(const std::string& line) {
    std::string_view rest = line;
    std::string word;
    SplitToken(rest, ' ', word);
    word = ToUpper(word);
    // Commands that act on a running search; the others wait for its answer.
    if (word == "ISREADY") WriteLine("readyok");
    if (word == "STOP") StopSearch(TheSearch);
    if (word == "PONDERHIT") PonderHit(TheSearch);
    if (word == "QUIT") return CommandResult::Quit;
    if (word == "ISREADY" || word == "STOP" || word == "PONDERHIT") return CommandResult::Continue;
    WaitForSearch(TheSearch);
    bool ok = true;
    if (word == "UCI") HandleUci();
    if (word == "UCINEWGAME") {
        StartGame(TheGame, StartFen, Options[Chess960Option].value);
        ClearSearchTables(TheSearch);
    }
    if (word == "POSITION") ok = HandlePosition(rest);
    if (word == "GO") ok = HandleGo(rest);
    if (word == "SETOPTION") ok = HandleSetOption(rest);
    if (word == "TEST") RunPerftTest(TheGame, SelfTestDepth, SelfTestFen);
    return ok ? CommandResult::Continue : CommandResult::Fatal;
}

bool WantsInput() { return Listening || !SearchRunning(TheSearch); }

bool HasWorkPending() { return !PutAside.empty() || SearchRunning(TheSearch); }

// The first word of a command line, in capitals.
static std::string CommandWord(const std::string& line) {
    std::string_view rest = line;
    std::string word;
    SplitToken(rest, ' ', word);
    return ToUpper(word);
}

CommandResult ReceiveLine(const std::string& line) {
    if (!HasWorkPending()) return ExecuteCommand(line);
    const std::string word = CommandWord(line);
    // While a search with a limit of its own runs, a "stop", "ponderhit" or "quit" after a
    // "go" that waits its turn is meant for that later search, as a script that pipes its
    // commands means it; it waits its turn too. An open-ended search takes them at once, as
    // nothing else would ever end it.
    const bool laterSearch =
        !SearchIsOpenEnded(TheSearch) &&
        std::any_of(PutAside.begin(), PutAside.end(),
                    [](const std::string& waiting) { return CommandWord(waiting) == "GO"; });
    if (Listening && SearchRunning(TheSearch) && (word == "ISREADY" || !laterSearch)) {
        if (word == "ISREADY" || word == "PONDERHIT") return ExecuteCommand(line);
        if (word == "STOP") {
            Listening = false;
            return ExecuteCommand(line);
        }
        if (word == "QUIT" && SearchIsOpenEnded(TheSearch)) {
            // The engine ends right after the answer; what was put aside is dropped.
            Listening = false;
            StopSearch(TheSearch);
            PutAside.push_front(line);
            return CommandResult::Continue;
        }
    }
    PutAside.push_back(line);  // after the answer, in the order it came
    return CommandResult::Continue;
}

void ReceiveEnd() {
    // Nobody is left to send "stop": an open-ended search answers now rather than never.
    if (Listening && SearchRunning(TheSearch) && SearchIsOpenEnded(TheSearch)) {
        Listening = false;
        StopSearch(TheSearch);
    }
}

CommandResult RunPutAside() {
    if (SearchRunning(TheSearch)) return CommandResult::Continue;
    // The lines are taken again as if they came now, in order: once one of them has started
    // another search, the ones after it act on that search or wait for its answer in turn.
    std::deque<std::string> waiting;
    waiting.swap(PutAside);
    while (!waiting.empty()) {
        const std::string line = std::move(waiting.front());
        waiting.pop_front();
        const CommandResult result = ReceiveLine(line);
        if (result != CommandResult::Continue) return result;
    }
    return CommandResult::Continue;
}

namespace {

// Lines read from standard input by the reader thread, waiting for the command loop, and the
// signal that wakes the loop: a line, the end of input or a search's answer.
struct InputQueue {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::string> lines;
    bool ended = false;
};
// Never freed: the reader may still wait in its read when the engine ends.
InputQueue* Input = nullptr;

void ReadInput(InputQueue* input) {
    LineReader reader;
    std::string line;
    while (ReadLine(reader, line)) {
        std::lock_guard lock(input->mutex);
        input->lines.push_back(std::move(line));
        input->ready.notify_one();
    }
    std::lock_guard lock(input->mutex);
    input->ended = true;
    input->ready.notify_one();
}

void SearchAnswered() {
    std::lock_guard lock(Input->mutex);
    Input->ready.notify_one();
}

int ExitStatus(CommandResult result) { return result == CommandResult::Quit ? 0 : 1; }

}  // namespace

int CommandLoop() {
    Input = new InputQueue;
    std::thread(ReadInput, Input).detach();
    TheSearch.answered = SearchAnswered;
    bool endSeen = false;
    while (true) {
        const CommandResult result = RunPutAside();
        if (result != CommandResult::Continue) return ExitStatus(result);
        if (endSeen) {
            ReceiveEnd();  // a search started from the lines put aside has nobody to stop it
            if (!HasWorkPending()) return 0;  // the end of input ends the engine like "quit"
        }
        std::unique_lock lock(Input->mutex);
        Input->ready.wait(lock, [&] {
            const bool taking =
                WantsInput() && (!Input->lines.empty() || (Input->ended && !endSeen));
            return taking || (!SearchRunning(TheSearch) && (!PutAside.empty() || endSeen));
        });
        if (!WantsInput() || (Input->lines.empty() && (!Input->ended || endSeen))) continue;
        if (Input->lines.empty()) {
            endSeen = true;
            lock.unlock();
            ReceiveEnd();
            continue;
        }
        const std::string line = std::move(Input->lines.front());
        Input->lines.pop_front();
        lock.unlock();
        const CommandResult received = ReceiveLine(line);
        if (received != CommandResult::Continue) return ExitStatus(received);
    }
}
