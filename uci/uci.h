// The UCI front end: program start, the command loop and the command handlers.
#pragma once

#include <cstdint>
#include <string>

#include "board/board.h"

struct Search;

// Seeds the random generator and builds every table: distance tables, keys, hash tables and
// the search threads. Tests and tools call it with a fixed seed so their results repeat.
void InitEngineTables(uint32_t randomSeed);

// Builds every table and sets the start position, in the order the engine relies on:
// random seed, distance tables, keys, hash tables, name line, start position, output handle.
void StartEngine(uint32_t randomSeed);

// Releases what StartEngine allocated, the search threads included.
void StopEngine();

// The game the controller has set up, and the engine's search, which the commands drive.
Game& EngineGame();
Search& EngineSearch();

// What a command line leaves the loop to do.
enum class CommandResult {
    Continue,  // read the next line
    Quit,      // "quit": end with exit status 0
    Fatal,     // bad input that leaves the engine unsure of the game (an unplayable move, a
               // number that is not one); the message is on standard error: exit status 1
};

// Carries out one command line. "go" starts the search and returns at once (in a build
// without threads, once it has answered); "stop", "ponderhit" and "isready" act on a running
// search at once; any other command first waits for a running search to answer.
CommandResult ExecuteCommand(const std::string& line);

// The command loop's handling of input while the engine searches. A line that arrives is
// carried out at once when no search runs; during a search that still listens, "stop",
// "isready" and "ponderhit" act at once, "quit" stops an open-ended search and ends the engine
// after its answer, and every other line is put aside for after the answer, in order. Once a
// search has been stopped it listens no more: the loop leaves further lines unread until the
// answer.
CommandResult ReceiveLine(const std::string& line);
// The end of input: an open-ended search that still listens is stopped.
void ReceiveEnd();
// Whether the loop should hand over the next line now.
bool WantsInput();
// Once the search has answered, takes the lines put aside again, in order, as if they came
// now: they are carried out until one starts another search, and those after it act on that
// search or wait for its answer in turn.
CommandResult RunPutAside();
// Whether lines put aside wait for their turn, or a search still runs.
bool HasWorkPending();

// Reads standard input on a thread of its own for the engine's whole life and carries out
// the commands until "quit", a fatal command or the end of input; returns the exit status.
int CommandLoop();
