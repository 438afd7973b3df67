// Program entry of the Sorvane engine.
#include <chrono>
#include <csignal>

#include "uci/uci.h"

int main() {
    // A controller that has gone away closes the pipe: a line written then is dropped, and the
    // end of input ends the engine, rather than a signal killing it.
    std::signal(SIGPIPE, SIG_IGN);
    // Keys and root move order differ from run to run, seeded from the high-resolution clock.
    auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    StartEngine(uint32_t(ticks));
    const int status = CommandLoop();
    StopEngine();
    return status;
}
