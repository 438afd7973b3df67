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

// Carries out one command line. Returns false when the line is "quit".
bool ExecuteCommand(const std::string& line);

// Reads and carries out commands until "quit" or the end of input.
void CommandLoop();

// Releases what StartEngine allocated.
void StopEngine();
