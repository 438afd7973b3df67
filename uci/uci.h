// The UCI front end: program start, the command loop and the command handlers.
#pragma once

#include <cstdint>
#include <string>

// Seeds the random generator and builds every table: distance tables, keys, hash tables.
// Tests and tools call it with a fixed seed so their results repeat.
void InitEngineTables(uint32_t randomSeed);

// Builds every table and sets the start position, in the order the engine relies on:
// random seed, distance tables, keys, hash tables, name line, start position, output handle.
void StartEngine(uint32_t randomSeed);

// What a command line leaves the loop to do.
enum class CommandResult {
    Continue,  // read the next line
    Quit,      // "quit": end with exit status 0
    Fatal,     // bad input that leaves the engine unsure of the game (an unplayable move, a
               // number that is not one); the message is on standard error: exit status 1
};

// Carries out one command line.
CommandResult ExecuteCommand(const std::string& line);

// Reads and carries out commands until "quit", a fatal command or the end of input; returns
// the exit status.
int CommandLoop();

// Releases what StartEngine allocated.
void StopEngine();
