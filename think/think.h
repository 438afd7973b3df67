// The search: clock and limits, quiescence, alpha-beta, the root and iterative deepening,
// and repetition detection.
#pragma once

#include <cstdint>

#include "movegen/genmoves.h"

// What a GO command asks for. Zero means "not given" for every field.
struct Limits {
    uint8_t depth;     // deepest iteration
    int32_t movetime;  // fixed time per move, ms
    int32_t wtime;     // remaining clock times, ms
    int32_t btime;
    int32_t winc;  // increments per move, ms
    int32_t binc;
    uint8_t mate;           // recorded, not used by the search
    uint8_t infinite;       // recorded, not used by the search
    uint8_t movestogo;      // moves until the next time control
    int32_t nodes;          // recorded, not used by the search
    uint8_t ponder;         // recorded; cleared by PONDERHIT
    uint8_t clockGiven[2];  // "wtime" / "btime" was present, even with a value of 0 or less
};
extern Limits SearchLimits;

// Clears every field except ponder.
void ClearLimits();

// The search clock: milliseconds since StartClock, read from a monotonic clock so that a
// change of the wall-clock time cannot disturb time control.
void StartClock();
int32_t ElapsedMs();

// ---------------------------------------------------------------------------------------
// Search globals and the time budget.

constexpr int32_t ScoreInfinity = 100000;
constexpr int32_t MateBound = 99900;  // beyond this a score is a mate score
constexpr int32_t MateScore = 99999;  // mated at ply p scores p - MateScore
constexpr int MaxIteration = 50;
constexpr int32_t CheckInterval = 250000;  // nodes between progress lines
// With a hard limit the clock is also read every ClockInterval nodes, so that the answer never
// comes after the limit; the progress lines keep their own rhythm.
constexpr int32_t ClockInterval = 1024;
constexpr int32_t MoveTimeMarginMs = 300;  // what a movetime keeps back for the pipes
// What the hard limit keeps back from the mover's clock: 50 ms or a twentieth of it.
constexpr int32_t ClockMarginMs = 50;
constexpr int32_t ClockMarginShare = 20;

extern int64_t NodeCount;  // root, alpha-beta and quiescence nodes since the search began
extern int32_t LastNps;    // speed printed by the latest progress line, 0 before the first
extern int32_t TimeLimit;  // hard limit in ms; 0 or below means none
extern int32_t SoftTime;   // target for starting another iteration

// Set when a search has no limit of its own (no depth, movetime or mover's clock): then it
// reads its input at each progress line, so that "stop" can end it.
extern bool ListensToInput;

// Sets TimeLimit, SoftTime and ListensToInput from SearchLimits and the side to move at ply 0.
void SetTimeBudget();

// Reads the lines that have arrived during a search without waiting for more: "stop" and
// "quit" stop it ("quit" then ends the engine), "isready" and "ponderhit" are answered at
// once, and any other line is kept for after the "bestmove" line.
void ListenToInput();

// Counted once per node: every CheckInterval nodes it reads the clock, stops the search when
// the hard limit has passed (returning true), prints a progress line and, in a search without
// a limit, reads its input. With a hard limit it reads the clock every ClockInterval nodes.
bool PollClock();

// ---------------------------------------------------------------------------------------
// The search.

// Notes whether the side not to move at the root is in check, which only an odd FEN text
// gives; until it is, the search reads checks off the moved piece alone.
void SetRootLegality();

// The depth of the iteration being searched; extensions stop at twice this ply.
extern int IterationDepth;

// The in-check flag of the position after `move` was made at `ply`.
uint8_t CheckAfter(Move move, int ply);

// A principal variation, stored leaf first: moves[length] is the move played at the node
// that owns the line, moves[1] the deepest.
struct PvLine {
    int32_t length;
    Move moves[MaxSearchPly + 2];
};

// Makes `line` the child's line with `m`, the move that led to the child, as its last slot.
inline void AppendMove(PvLine& line, const PvLine& child, Move m) {
    line.length = child.length;
    for (int i = 1; i <= child.length; ++i) line.moves[i] = child.moves[i];
    line.moves[++line.length] = m;
}

// True when the position at `ply` occurs for the third time, counting the search path
// below the root and the game history.
bool IsRepetition(int ply);

// `qdepth` counts the plies since quiescence began.
int32_t Quiesce(int32_t alpha, int32_t beta, int ply, int qdepth = 0);
int32_t AlphaBeta(int32_t alpha, int32_t beta, uint8_t depth, int ply, bool nullAllowed,
                  PvLine& line);
int32_t SearchRoot(uint8_t depth, PvLine& line);
void StorePvInHash(int32_t score, uint8_t depth, const PvLine& line);

// Searches the game position under SearchLimits, prints "info" lines and the "bestmove"
// line, and returns the move it chose (NoMove when there is no legal move).
Move IterativeDeepening();
