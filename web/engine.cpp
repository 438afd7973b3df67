// The engine's entry point in the browser. A page cannot feed a blocking read loop, so a Web
// Worker hands the engine one command line at a time, and every protocol line leaves through
// the ordinary line writer, which the worker passes on to the page. It is built twice:
//
// - Without threads, for a page that is not cross-origin isolated: the engine's own dispatch
//   carries each line out, a "go" runs to its answer inside the call, and a search that would
//   wait for "stop" (an analysis that has ended by itself) answers at once, since no "stop"
//   could reach it meanwhile; the page ends a running analysis by dropping the worker.
// - With emscripten's threads (-pthread), for a page that is: the search runs on threads of its
//   own, and each line goes to the command loop's state machine as it comes, so "stop" ends a
//   search at once and the lines that came during it wait for its answer. The answer is written
//   on the search's thread; the lines put aside then run on the worker's own thread.
#include <emscripten/emscripten.h>

#include <chrono>
#include <string>

#include "uci/uci.h"

#ifdef __EMSCRIPTEN_PTHREADS__
#include <emscripten/threading.h>

#include "think/think.h"

// Carries out, on the worker's thread, the lines that waited for the search's answer.
static void RunLinesPutAside() { RunPutAside(); }

// Called on the search's thread once its answer is written.
static void SearchAnswered() {
    emscripten_async_run_in_main_runtime_thread(EM_FUNC_SIG_V, RunLinesPutAside);
}
#endif

extern "C" {

// Builds the tables and sets the start position, seeded from the clock as natively.
EMSCRIPTEN_KEEPALIVE void SorvaneStart() {
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    StartEngine(uint32_t(ticks));
#ifdef __EMSCRIPTEN_PTHREADS__
    EngineSearch().answered = SearchAnswered;
#endif
}

// Takes one command line; returns 0 to go on, 1 after "quit", 2 after fatal input.
EMSCRIPTEN_KEEPALIVE int SorvaneCommand(const char* line) {
#ifdef __EMSCRIPTEN_PTHREADS__
    return int(ReceiveLine(std::string(line)));
#else
    return int(ExecuteCommand(std::string(line)));
#endif
}
}
