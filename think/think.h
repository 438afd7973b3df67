// The search: clock and limits, the search threads, quiescence, alpha-beta, the root and
// iterative deepening, and repetition detection.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// ---------------------------------------------------------------------------------------
// Search constants, shared by every search thread.

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

constexpr int MaxMultiPv = 256;

// Strength levels ("UCI_LimitStrength", "UCI_Elo"): a rating between LevelEloMin and
// LevelEloMax gives a node budget per move and, in the lower levels, a choice among the best
// LevelLines moves; the top level is the full search.
constexpr int LevelEloMin = 800, LevelEloMax = 2000, LevelEloDefault = 1500;
constexpr int LevelLines = 4;

// The options a search reads, taken when its GO arrives: an option set meanwhile counts from
// the next search.
struct SearchOptions {
    int multiPv = 1;             // lines searched and shown
    bool ponder = false;         // "bestmove" names the expected reply
    bool limitStrength = false;  // play at levelElo
    int levelElo = LevelEloDefault;
    int32_t moveOverheadMs = MoveOverheadDefaultMs;  // kept back from each move's planned time
};

// Nodes per second, as the info lines give it.
int64_t NodesPerSecond(int64_t nodes, int32_t ms);

// ---------------------------------------------------------------------------------------
// The search threads.

// A principal variation, stored leaf first: moves[length] is the move played at the node
// that owns the line, moves[1] the deepest.
struct PvLine {
    int32_t length;
    Move moves[MaxSearchPly + 2];
};

// One line of a search at the root: its score and its moves.
struct RootLine {
    int32_t score;
    PvLine pv;
};

// The nodes a move may search at the level; 0 for no budget (no level, or the top one).
int64_t LevelNodeBudget(const SearchOptions& options);
// The lines the main thread searches for: the MultiPV option, and at a level that chooses
// among lines at least LevelLines.
int SearchLines(const SearchOptions& options);
// The line a level plays among `count` lines, best first: the best, or at a level one of
// the few close to it, drawn at random with weights that favour the better.
int ChooseLevelLine(const RootLine* lines, int count, const SearchOptions& options);

struct Search;

// Everything one search thread changes while it searches: its copy of the position with the
// move lists, the move order with killers and history, its pawn table, node count, root
// shuffle and what its iterations found. The search functions receive it; what the threads
// share is their Search (read-only but for its atomic flags), the key tables and the
// transposition table.
struct Worker {
    Search* search = nullptr;  // the search this thread takes part in
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
    bool progressShown = false;      // a progress line has been printed in this search
    uint32_t random = 0;             // the root shuffle's generator
    RootLine rootLines[MaxMultiPv];  // the best lines of the iteration being searched
    // The lines of the last finished iteration, best first, and its depth (0 before one has
    // finished).
    RootLine finishedLines[MaxMultiPv];
    int finishedLineCount = 0;
    int finishedDepth = 0;
    // The thread's answer so far: the best line of its last finished iteration, or a better
    // one that an unfinished iteration found since. The search's answer is chosen among them,
    // as soon as the search stops, while a helper may still be on its way out: so the owner
    // changes `best` and `finishedDepth` under `resultMutex`, and others read them under it.
    RootLine best;
    std::mutex resultMutex;
    int index = 0;  // 0 for the main thread, which alone prints and answers
};

#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
constexpr int MaxThreads = 1;  // a browser build without shared memory has no threads of its own
#else
constexpr int MaxThreads = 256;
#endif

// One search, from its GO to its answer: the position, limits and options it was given, its
// clock and budget, the flags the command loop sets while it runs, the threads that search
// and what they found. The command loop keeps one for the engine's whole life; tools and
// tests make their own. Between searches only the owner touches it.
struct Search {
    // The position searched, copied from the game at GO: the board, the root record and the
    // game's keys, which repetitions count.
    Placement placement;
    PlyState root;
    KeyHistory history;
    Limits limits;
    SearchOptions options;

    // The clock and the budget, set at GO; during the search only the main thread reads or
    // changes them.
    std::chrono::steady_clock::time_point started;
    int32_t timeLimit = -1;     // hard limit in ms; 0 or below means none
    int32_t softTime = 0;       // target for starting another iteration
    int32_t budgetStartMs = 0;  // when the budget's clock started: 0, or the "ponderhit"
    int64_t nodeLimit = 0;      // node limit of the whole search; 0 means none
    bool clockWatch = false;    // the clock is read every ClockInterval nodes
    bool pondering = false;     // the budget below waits for "ponderhit"
    int32_t ponderTimeLimit = 0, ponderSoftTime = 0;
    bool ownLimit = false;  // a depth, a movetime or the mover's clock ends the search by itself

    // Set by the command loop while the search runs.
    std::atomic<bool> stop{false};           // every thread leaves its search at once
    std::atomic<bool> stopCommanded{false};  // "stop" or "quit": answer now, even an analysis
    std::atomic<int32_t> ponderhitMs{-1};    // when "ponderhit" came, on the search's clock

    // The threads: workers[i] belongs to threads[i]. The main thread runs the whole search,
    // from GO to the answer; the others help it from the same root through the shared table.
    std::vector<std::unique_ptr<Worker>> workers;
    std::vector<std::thread> threads;
    std::mutex mutex;  // guards the hand-over fields below
    std::condition_variable wake, finished;
    uint64_t mainRuns = 0, helperRuns = 0;  // searches handed to the main thread, the helpers
    int helpersSearching = 0;
    bool running = false;  // from GO until the answer has been written
    bool leaving = false;
    // Called by the main thread once the answer is written, so that the command loop can go on
    // with the commands put aside meanwhile.
    void (*answered)() = nullptr;

    // The answer: the chosen line's first move (NoMove for none), the reply it expects and its
    // score.
    Move bestMove = NoMove;
    Move ponderMove = NoMove;
    int32_t bestScore = 0;

    Search() = default;
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    ~Search();  // joins the threads
};

inline bool Stopped(const Worker& w) { return w.search->stop.load(std::memory_order_relaxed); }

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

// ---------------------------------------------------------------------------------------
// The threads and the life of a search.

// Sets the number of search threads (clamped to 1..MaxThreads), all waiting for a search.
// Called between searches; it joins the old threads and starts the new ones.
void SetThreadCount(Search& s, int count);
// Joins every thread and frees every worker.
void ReleaseThreads(Search& s);
// The main thread's worker: its position is free for tools and tests between searches.
Worker& MainWorker(Search& s);
// The nodes of the last or current search, summed over the threads.
int64_t SearchNodes(const Search& s);
// Sizes the transposition table from HashSizeMB and every thread's pawn table to match, all
// empty; and empties them all.
void AllocateSearchTables(Search& s);
void ClearSearchTables(Search& s);

// Starts a search of the game's position on the search threads and returns at once: the
// main thread prints "info" lines and, at the end, the "bestmove" line. A build without
// threads searches to the answer before it returns.
void StartSearch(Search& s, const Game& game, const Limits& limits, const SearchOptions& options);
// "stop": the search answers at once. "ponderhit": a pondering search goes on under its clock,
// and one that has already ended answers.
void StopSearch(Search& s);
void PonderHit(Search& s);
// Whether a search is running, its answer not yet written.
bool SearchRunning(Search& s);
// Waits until the running search, if any, has answered.
void WaitForSearch(Search& s);
// A search with no end of its own: an analysis, a pondering search or one without a depth,
// movetime or clock of the mover's. "quit" and the end of input stop it.
bool SearchIsOpenEnded(const Search& s);
// StartSearch and WaitForSearch: the answer, NoMove when there is no legal move.
Move RunSearch(Search& s, const Game& game, const Limits& limits, const SearchOptions& options);

// The search clock: milliseconds since the search started, on a monotonic clock so that a
// change of the wall-clock time cannot disturb time control.
int32_t ElapsedMs(const Search& s);
// Milliseconds on the budget's clock.
inline int32_t BudgetElapsedMs(const Search& s) { return ElapsedMs(s) - s.budgetStartMs; }

// Sets the time and node budget from the limits, the options and the side to move.
void SetTimeBudget(Search& s);

// The soft time rule: once an iteration of at least SoftRuleMinDepth has finished, the main
// thread starts no other when the root has a single legal move, or when more than half of the
// target time has gone (`elapsed` on the budget's clock) under a hard limit.
constexpr int SoftRuleMinDepth = 6;
bool SoftRuleEnds(const Search& s, int depth, int32_t elapsed, int legalMoves);

// Counted once per node: every CheckInterval nodes it reads the clock, stops the search when
// the hard limit has passed (returning true) and prints a progress line. Under a time or node
// limit, and while pondering, it reads the clock every ClockInterval nodes. A helper reports
// whether the search has been stopped, and under a node limit stops it there too: a main
// thread that the system keeps waiting must not let the others run past the limit.
bool PollClockNow(Worker& w, int64_t nodes);
bool HelperReachedNodeLimit(Worker& w);
inline bool PollClock(Worker& w, int64_t nodes) {
    // The main thread watches the clock for every thread.
    if (w.index != 0) {
        if (w.search->nodeLimit != 0 && nodes % ClockInterval == 0)
            return HelperReachedNodeLimit(w);
        return Stopped(w);
    }
    if (nodes % CheckInterval != 0 && (!w.search->clockWatch || nodes % ClockInterval != 0))
        return Stopped(w);
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
// below the root and the game's history.
bool IsRepetition(const Position& pos, int ply, const KeyHistory& history);

// `qdepth` counts the plies since quiescence began.
int32_t Quiesce(Worker& w, int32_t alpha, int32_t beta, int ply, int qdepth = 0);
int32_t AlphaBeta(Worker& w, int32_t alpha, int32_t beta, uint8_t depth, int ply, bool nullAllowed,
                  PvLine& line);
// One iteration at the root, searching for `lineCount` lines: they are left best first in
// w.rootLines; returns the best score.
int32_t SearchRoot(Worker& w, uint8_t depth, int lineCount);
void StorePvInHash(Worker& w, int32_t score, uint8_t depth, const PvLine& line);

// A score as the protocol gives it: "cp S", or "mate N" in moves, positive when the side to
// move mates and negative when it is mated.
std::string ScoreText(int32_t score);
// The line to show for `line`, a line of w's root with its score: the search's own moves, then
// the table's moves while they are legal and lead nowhere the line has been, and where the
// score is a mate the line does not reach, the moves that deliver it. The worker's position
// must be at its root; it is left there. What the search keeps is untouched.
PvLine ShownLine(Worker& w, const PvLine& line, int32_t score);

// Prepares a worker to search its search's position: copies the root, lists the root moves
// with a random first order, and clears its killers, history, node count and finished lines.
// Returns the number of legal root moves.
int PrepareRoot(Worker& w);

// The main thread's part of a search: iterates with the helpers until a limit or the
// controller ends it, prints the "bestmove" line and leaves the answer in the search.
void SearchAsMain(Worker& w);
// A helper's part of a search: prepares its root and iterates until the search stops.
void SearchAsHelper(Worker& w);

// Wakes every helper to search (the stop flag must be clear), and waits until every helper
// has left its search (after the stop flag was set).
void StartHelpers(Search& s);
void WaitForHelpers(Search& s);
