// The UCI command loop and the handshake commands.
#include "uci/uci.h"

#include <unistd.h>

#include <cstdio>

#include "board/fen.h"
#include "movemake/hash.h"
#include "uci/util.h"

void InitEngineTables(uint32_t randomSeed) {
    SeedRandom(randomSeed);
    InitZobrist();
}

void StartEngine(uint32_t randomSeed) {
    InitEngineTables(randomSeed);
    WriteReportLine("Sorvane v 1.0b");
    SetPosition(StartFen);
    OutputHandle = fileno(stdout);
}

void StopEngine() {}

static void HandleUci() {
    WriteLine("id name Sorvane v 1.0b");
    WriteLine("id author Omberlin");
    WriteLine("option name Hash type spin default 32 min 4 max 512");
    WriteLine("option name Clear Hash type button");
    WriteLine("uciok");
}

bool ExecuteCommand(const std::string& line) {
    std::string rest = line, word;
    SplitToken(rest, ' ', word);
    word = ToUpper(word);
    if (word == "QUIT") return false;
    if (word == "UCI") HandleUci();
    if (word == "ISREADY") WriteLine("readyok");
    if (word == "STOP") StopFlag = 1;
    return true;
}

void CommandLoop() {
    std::string line;
    while (ReadLine(line))
        if (!ExecuteCommand(line)) return;
}
