// The search clock and limits.
#include <chrono>

#include "think/think.h"

Limits SearchLimits;

static std::chrono::steady_clock::time_point SearchStart;

void ClearLimits() {
    uint8_t ponder = SearchLimits.ponder;
    SearchLimits = Limits{};
    SearchLimits.ponder = ponder;
}

void StartClock() { SearchStart = std::chrono::steady_clock::now(); }

int32_t ElapsedMs() {
    auto elapsed = std::chrono::steady_clock::now() - SearchStart;
    return int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}
