// The engine's entry point in the browser. A page cannot feed a blocking read loop, so a Web
// Worker hands the engine one command line at a time and the engine's own dispatch carries
// it out; a "go" runs to its answer inside the call, as it does natively. Every protocol line
// leaves through the ordinary line writer, which the worker passes on to the page.
#include <emscripten/emscripten.h>

#include <chrono>
#include <string>

#include "uci/uci.h"

extern "C" {

// Builds the tables and sets the start position, seeded from the clock as natively.
//
// Commands arrive as calls, never on standard input, whose reads in a worker find it ended. A
// search that looks for input, as "go infinite" does, would take that end for the controller
// gone and answer at once; so standard input never reports a line waiting, and such a search
// runs until the page drops the worker. Only a search that has ended by itself and waits for
// its "stop" reads on, finds the end, and answers.
EMSCRIPTEN_KEEPALIVE void SorvaneStart() {
    EM_ASM({
        const input = FS.getStream(0);
        input.stream_ops = Object.assign({}, input.stream_ops);
        input.stream_ops.poll = function() { return 0; };
    });
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    StartEngine(uint32_t(ticks));
}

// Carries out one command line; returns 0 to go on, 1 after "quit", 2 after fatal input.
EMSCRIPTEN_KEEPALIVE int SorvaneCommand(const char* line) {
    return int(ExecuteCommand(std::string(line)));
}
}
