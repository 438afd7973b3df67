// Fuzz harnesses, shared by the libFuzzer targets and by the test suite, which replays the
// seed corpus and every input a fuzzer ever found through the same code.
#pragma once

#include <cstddef>
#include <cstdint>

// Builds the engine's tables once, with a fixed seed and small hash tables, and sends the
// engine's protocol lines to nowhere.
void FuzzSetUp();

// Feeds the input to the command loop as a session, one command per line. Searches are kept
// short: every "go" gets a small clock and depth appended, "test" is skipped and hash sizes
// are capped. Invariants are checked after every command; a broken one aborts.
void FuzzCommandSession(const uint8_t* data, size_t size);

// Reads the input as a FEN text, then makes and takes back every move, generates captures,
// evaluates and runs a short search, checking invariants along the way.
void FuzzFenText(const uint8_t* data, size_t size);
