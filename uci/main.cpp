// Program entry of the Sorvane engine.
#include <chrono>

#include "uci/uci.h"

int main() {
    // Keys and root move order differ from run to run, seeded from the high-resolution clock.
    auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    StartEngine(uint32_t(ticks));
    const int status = CommandLoop();
    StopEngine();
    return status;
}
