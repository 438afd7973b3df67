// The search: clock and limits, the search threads, quiescence, alpha-beta, the root and
// iterative deepening, and repetition detection.
#pragma once

#include <atomic>
#include <cstdint>

#include "movegen/genmoves.h"
#include "movemake/hash.h"
#include "think/sortmoves.h"

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
// Search constants and the time budget, shared by every search thread and set before the
// threads start.

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

extern int32_t TimeLimit;  // hard limit in ms; 0 or below means none
extern int32_t SoftTime;   // target for starting another iteration

// Set when a search has no limit of its own (no depth, movetime or mover's clock): then it
// reads its input at each progress line, so that "stop" can end it.
extern bool ListensToInput;

// Sets TimeLimit, SoftTime and ListensToInput from SearchLimits and the side to move of the
// game position.
void SetTimeBudget();

// Reads the lines that have arrived during a search without waiting for more: "stop" and
// "quit" stop it ("quit" then ends the engine), "isready" and "ponderhit" are answered at
// once, and any other line is kept for after the "bestmove" line.
void ListenToInput();

// ---------------------------------------------------------------------------------------
// The search threads.

// A principal variation, stored leaf first: moves[length] is the move played at the node
// that owns the line, moves[1] the deepest.
struct PvLine {
    int32_t length;
    Move moves[MaxSearchPly + 2];
};

// Everything one search thread changes while it searches: its copy of the position with the
// move lists, the move order with killers and history, its pawn table, node count and root
// shuffle. The search functions receive it; what the threads share (limits, clock, stop flag,
// key tables and the transposition table) is global.
struct Worker {
    Position pos;
    Ordering order;
    PawnTable pawns;
    // Nodes searched since the search began. Only the owner writes it; the main thread reads
    // every thread's count for its info lines.
    std::atomic<int64_t> nodes{0};
    int iterationDepth = 0;  // of the iteration being searched; extensions stop at twice it
    // True while the side not to move at the root is not in check, as in every position a
    // game can reach; then the search may read checks off the moved piece (GivesCheck).
    bool rootIsLegal = false;
    bool progressShown = false;  // a progress line has been printed in this search
    uint32_t random = 0;         // the root shuffle's generator
    int index = 0;  // 0 for the main thread, which alone prints, reads input and answers
};

inline void PickMove(Worker& w, int ply, int k) {
    if (k > w.order.finalSlots[ply]) PickMoveSlow(w, ply, k);
}

// Counts a node of `w`'s search. Only the owner writes the count, so a plain load and store
// serve, and another thread reading it sees a whole value.
inline int64_t CountNode(Worker& w) {
    const int64_t n = w.nodes.load(std::memory_order_relaxed) + 1;
    w.nodes.store(n, std::memory_order_relaxed);
    return n;
}

// Sets the number of search threads (clamped to 1..MaxThreads): the main thread, which is the
// caller of IterativeDeepening, and count - 1 helpers that wait for a search. Called between
// searches; it joins the old helpers and starts the new ones. The browser build has one.
#ifdef __EMSCRIPTEN__
constexpr int MaxThreads = 1;
#else
constexpr int MaxThreads = 256;
#endif
void SetThreadCount(int count);
// Joins every helper and frees every worker, the main thread's included.
void ReleaseThreads();
int ThreadCount();
// The main thread's worker: its position is free for tools and tests between searches.
Worker& MainWorker();
// The nodes of the last or current search, summed over the threads.
int64_t SearchNodes();
// Sizes the transposition table from HashSizeMB and every thread's pawn table to match, all
// empty; and empties them all.
void AllocateSearchTables();
void ClearSearchTables();

// Counted once per node: every CheckInterval nodes it reads the clock, stops the search when
// the hard limit has passed (returning true), prints a progress line and, in a search without
// a limit, reads its input. With a hard limit it reads the clock every ClockInterval nodes.
// A helper only reports whether the search has been stopped.
bool PollClockNow(Worker& w, int64_t nodes);
inline bool PollClock(Worker& w, int64_t nodes) {
    // The main thread watches the clock and the input for every thread.
    if (w.index != 0) return StopFlag.load(std::memory_order_relaxed);
    if (nodes % CheckInterval != 0 && (TimeLimit <= 0 || nodes % ClockInterval != 0)) return false;
    return PollClockNow(w, nodes);
}

// ---------------------------------------------------------------------------------------
// The search.

// The in-check flag of the position after `move` was made at `ply`.
uint8_t CheckAfter(Worker& w, Move move, int ply);

// Makes `line` the child's line with `m`, the move that led to the child, as its last slot.
inline void AppendMove(PvLine& line, const PvLine& child, Move m) {
    line.length = child.length;
    for (int i = 1; i <= child.length; ++i) line.moves[i] = child.moves[i];
    line.moves[++line.length] = m;
}

// True when the position at `ply` occurs for the third time, counting the search path
// below the root and the game history.
bool IsRepetition(const Position& pos, int ply);

// `qdepth` counts the plies since quiescence began.
int32_t Quiesce(Worker& w, int32_t alpha, int32_t beta, int ply, int qdepth = 0);
int32_t AlphaBeta(Worker& w, int32_t alpha, int32_t beta, uint8_t depth, int ply, bool nullAllowed,
                  PvLine& line);
int32_t SearchRoot(Worker& w, uint8_t depth, PvLine& line);
void StorePvInHash(Worker& w, int32_t score, uint8_t depth, const PvLine& line);

// Prepares a worker to search the game position: copies the root, lists the root moves with
// a random first order, and clears its killers, history and node count. Returns the number of
// legal root moves.
int PrepareRoot(Worker& w);

// A helper's part of a search: prepares its root and iterates until the search stops.
void SearchAsHelper(Worker& w);

// Wakes every helper to search the game position (StopFlag must be clear), and waits until
// every helper has left its search (after StopFlag was set).
void StartHelpers();
void WaitForHelpers();

// Searches the game position under SearchLimits with every thread, prints "info" lines and the
// "bestmove" line, and returns the move it chose (NoMove when there is no legal move).
Move IterativeDeepening();
