// The engine's entry point in the browser. A page cannot feed a blocking read loop, so a Web
// Worker hands the engine one command line at a time and the engine's own dispatch carries
// it out. The browser build has no threads of its own: a "go" runs to its answer inside the
// call, and a search that would wait for "stop" (an analysis that has ended by itself) answers
// at once, since no "stop" could reach it meanwhile; the page ends a running analysis by
// dropping the worker. Every protocol line leaves through the ordinary line writer, which the
// worker passes on to the page.
#include <emscripten/emscripten.h>

#include <chrono>
#include <string>

#include "uci/uci.h"

extern "C" {

// Builds the tables and sets the start position, seeded from the clock as natively.
EMSCRIPTEN_KEEPALIVE void SorvaneStart() {
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    StartEngine(uint32_t(ticks));
}

// Carries out one command line; returns 0 to go on, 1 after "quit", 2 after fatal input.
EMSCRIPTEN_KEEPALIVE int SorvaneCommand(const char* line) {
    return int(ExecuteCommand(std::string(line)));
}
}
