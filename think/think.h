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
    int32_t mate;           // end once a mate in this many moves or fewer is proved
    uint8_t infinite;       // answer only at "stop", even when the search ends by itself
    uint8_t movestogo;      // moves until the next time control
    int32_t nodes;          // end once this many nodes are counted
    uint8_t ponder;         // search open-ended until "ponderhit" or "stop"; answer only then
    uint8_t clockGiven[2];  // "wtime" / "btime" was present, even with a value of 0 or less
};
extern Limits SearchLimits;

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
// The clock's planning: a share of the time left until the next control (a thirtieth when the
// controller does not say how many moves are left), at most a third as a hard limit, each less
// the move overhead kept for the controller and the pipes, and a tenth of the time left when
// that leaves nothing.
constexpr int32_t MovesToGoDefault = 30;
constexpr int32_t HardLimitShare = 3;
constexpr int32_t LastResortShare = 10;
constexpr int32_t MoveOverheadDefaultMs = 500, MoveOverheadMaxMs = 5000;
// What the hard limit keeps back from the mover's clock: 50 ms or a twentieth of it.
constexpr int32_t ClockMarginMs = 50;
constexpr int32_t ClockMarginShare = 20;

extern int32_t TimeLimit;       // hard limit in ms; 0 or below means none
extern int32_t SoftTime;        // target for starting another iteration
extern int32_t BudgetStartMs;   // when the budget's clock started: 0, or the "ponderhit"
extern int64_t NodeLimit;       // node limit of the whole search; 0 means none
extern int32_t MoveOverheadMs;  // the "Move Overhead" option
// Set when the main thread reads the clock (or, pondering, its input) every ClockInterval
// nodes: under a time or node limit, and while pondering.
extern bool ClockWatch;

// Milliseconds on the budget's clock.
inline int32_t BudgetElapsedMs() { return ElapsedMs() - BudgetStartMs; }

// Nodes per second, as the info lines give it.
int64_t NodesPerSecond(int64_t nodes, int32_t ms);

// Set when a search has no limit of its own (no depth, movetime or mover's clock): then it
// reads its input at each progress line, so that "stop" can end it.
extern bool ListensToInput;

// Sets TimeLimit, SoftTime and ListensToInput from SearchLimits and the side to move of the
// game position.
void SetTimeBudget();

// Set when "stop", "quit" or the end of input ended the search: then it answers at once.
extern bool StopCommanded;

// Reads the lines that have arrived during a search without waiting for more (or, with
// `untilStop`, waiting until the search is stopped): "stop" and "quit" stop it ("quit" then
// ends the engine), "isready" is answered at once, "ponderhit" turns a pondering search into
// an ordinary one (or stops one that has already ended), and any other line is kept for after
// the "bestmove" line.
void ListenToInput(bool untilStop);

// ---------------------------------------------------------------------------------------
// The search threads.

// A principal variation, stored leaf first: moves[length] is the move played at the node
// that owns the line, moves[1] the deepest.
struct PvLine {
    int32_t length;
    Move moves[MaxSearchPly + 2];
};

// One line of a search with several lines: its score and its moves.
struct RootLine {
    int32_t score;
    PvLine pv;
};
constexpr int MaxMultiPv = 256;
extern int MultiPv;         // the "MultiPV" option: lines the main thread searches for
extern bool PonderEnabled;  // the "Ponder" option: "bestmove" names the expected reply

// Strength levels ("UCI_LimitStrength", "UCI_Elo"): a rating between LevelEloMin and
// LevelEloMax gives a node budget per move and, in the lower levels, a choice among the best
// LevelLines moves; the top level is the full search.
constexpr int LevelEloMin = 800, LevelEloMax = 1900, LevelEloDefault = 1500;
constexpr int LevelLines = 4;
extern bool LimitStrength;
extern int LevelElo;
// The nodes a move may search at the level; 0 for no budget (no level, or the top one).
int64_t LevelNodeBudget();
// The lines the main thread searches for: MultiPv, and at a level that chooses among lines
// at least LevelLines.
int SearchLines();
// The line a level plays among `count` lines, best first: the best, or at a level one of
// the few close to it, drawn at random with weights that favour the better.
int ChooseLevelLine(const RootLine* lines, int count);

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
    bool progressShown = false;          // a progress line has been printed in this search
    uint32_t random = 0;                 // the root shuffle's generator
    RootLine rootLines[MaxMultiPv];      // the best lines of a search with several, best first
    RootLine finishedLines[MaxMultiPv];  // the lines of the last finished iteration
    int finishedLineCount = 0;
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
    if (nodes % CheckInterval != 0 && (!ClockWatch || nodes % ClockInterval != 0)) return false;
    return PollClockNow(w, nodes);
}

// ---------------------------------------------------------------------------------------
// The search.

// One ply for recapturing, with `move`, a piece of the value that `lastMove` took (not a pawn).
int RecaptureExtension(Move lastMove, Move move);

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
