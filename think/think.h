// The search: clock and limits, quiescence, alpha-beta, the root and iterative deepening,
// and repetition detection.
#pragma once

#include <cstdint>

#include "movegen/genmoves.h"

// What a GO command asks for. Zero means "not given" for every field.
struct Limits {
    uint8_t depth;      // deepest iteration
    int32_t movetime;   // fixed time per move, ms
    int32_t wtime;      // remaining clock times, ms
    int32_t btime;
    int32_t winc;       // increments per move, ms
    int32_t binc;
    uint8_t mate;       // recorded, not used by the search
    uint8_t infinite;   // recorded, not used by the search
    uint8_t movestogo;  // moves until the next time control
    int32_t nodes;      // recorded, not used by the search
    uint8_t ponder;     // recorded; cleared by PONDERHIT
};
extern Limits SearchLimits;

// Clears every field except ponder.
void ClearLimits();

// The search clock: milliseconds since StartClock, read from a monotonic clock so that a
// change of the wall-clock time cannot disturb time control.
void StartClock();
int32_t ElapsedMs();
