// The root search, iterative deepening and the bestmove answer.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "movegen/attack.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/sortmoves.h"
#include "think/think.h"
#include "uci/util.h"

namespace {

constexpr int32_t IllegalRootScore = -1000;
constexpr uint32_t RootRandomRange = 1001;  // first-iteration scores 0..1000
// What the worst thread's move still counts for in the threads' vote, as if its score were
// this much above the worst.
constexpr int32_t VoteScoreFloor = 14;

// "info depth D [multipv I] nodes N time T nps R score cp S pv ..." (or "score mate N"), the
// line as shown from w's root: `lineNumber` 0 leaves out the multipv field.
void PrintPv(Worker& w, int depth, int lineNumber, int32_t score, const PvLine& line) {
    const Search& s = *w.search;
    const int64_t nodes = SearchNodes(s);
    const int32_t ms = ElapsedMs(s);
    std::string text = "info depth " + std::to_string(depth);
    if (lineNumber) text += " multipv " + std::to_string(lineNumber);
    text += " nodes " + std::to_string(nodes) + " time " + std::to_string(ms) + " nps " +
            std::to_string(NodesPerSecond(nodes, ms)) + " score " + ScoreText(score) + " pv";
    const PvLine shown = ShownLine(w, line, score);
    for (int i = shown.length; i >= 1; --i) {
        text += ' ';
        text += MoveToText(shown.moves[i]);
    }
    WriteLine(text);
}

// Whether a score ends the main thread's iterations: any mate, or with "go mate N" only a mate
// in N moves or fewer for the side to move.
bool MateEndsSearch(const Limits& limits, int32_t score) {
    if (std::abs(score) <= MateBound) return false;
    if (limits.mate <= 0) return true;
    return score > 0 && (MateScore - score + 1) / 2 <= limits.mate;
}

// The plies a root move is searched to: the root prunes and reduces nothing, and extends a
// recapture, a promotion and a check.
int RootMoveDepth(const Worker& w, Move m, uint8_t depth) {
    int newDepth = depth - 1 + RecaptureExtension(w.pos.ply[0].lastMove, m);
    if (IsPromotion(m)) ++newDepth;
    if (w.pos.ply[1].inCheck) ++newDepth;
    return newDepth;
}

// A root move, already made, searched for a score above `floor`: with the whole window above
// it when `open`, else first with a null window that only asks whether it beats the floor.
int32_t SearchAbove(Worker& w, uint8_t depth, int32_t floor, bool open, PvLine& child) {
    child.length = 0;
    if (open) return -AlphaBeta(w, -ScoreInfinity, -floor, depth, 1, true, child);
    int32_t score = -AlphaBeta(w, -floor - 1, -floor, depth, 1, true, child);
    if (score > floor) {
        child.length = 0;
        score = -AlphaBeta(w, -ScoreInfinity, -floor, depth, 1, true, child);
    }
    return score;
}

// Runs the iterations of one thread until a limit, a mate or the soft time rule ends them
// (the main thread), or until the search is stopped or a mate is found (a helper). Each
// finished iteration leaves its lines in w.finishedLines and its best in w.best; an
// unfinished one that found a best move leaves it in w.best, as the best the thread knows.
void Iterate(Worker& w, int lineCount) {
    const Search& s = *w.search;
    const bool main = w.index == 0;
    const PlyState& root = w.pos.ply[0];
    // Half of the helpers run one ply ahead of the main thread, so that the threads do not
    // all search the same tree at the same depth.
    const int first = main ? 1 : 1 + (w.index & 1);
    for (int depth = first; depth <= MaxIteration; ++depth) {
        SortRootMoves(w);
        w.iterationDepth = depth;
        const int32_t score = SearchRoot(w, uint8_t(depth), lineCount);
        const int count = std::min(lineCount, int(root.moveCount));
        if (Stopped(w)) {
            std::lock_guard lock(w.resultMutex);
            if (score != -ScoreInfinity) w.best = w.rootLines[0];
            break;
        }
        if (count > 0) std::copy(w.rootLines, w.rootLines + count, w.finishedLines);
        w.finishedLineCount = count;
        {
            std::lock_guard lock(w.resultMutex);
            if (count > 0) w.best = w.rootLines[0];
            w.finishedDepth = depth;
        }
        StorePvInHash(w, score, uint8_t(depth), w.best.pv);
        if (!main) {
            if (std::abs(score) > MateBound) break;
            continue;
        }
        const int32_t e = BudgetElapsedMs(s);
        if (MateEndsSearch(s.limits, score)) break;
        if (s.limits.depth != 0 && depth >= s.limits.depth) break;
        if (SoftRuleEnds(s, depth, e, root.moveCount)) break;
    }
}

// An analysis or a pondering search that ended by itself (a mate, the depth) still waits for
// its "stop" or "ponderhit": the controller has not asked for a move yet. Without threads
// nobody could send either, so the answer comes at once.
void WaitForTheController(Search& s) {
    if ((!s.limits.infinite && !s.limits.ponder) || MaxThreads == 1) return;
    std::unique_lock lock(s.mutex);
    s.finished.wait(lock, [&] {
        return s.stopCommanded.load() || (s.limits.ponder && s.ponderhitMs.load() >= 0);
    });
}

// The thread whose line answers a search with helpers: a vote in which each thread's move
// gains its score's margin over the worst thread's, weighted by the depth it finished, so
// that a move found deeper, or by several threads, outweighs a shallow one. A proved mate
// wins outright, the quickest first.
// What one thread has found, as the vote reads it: its best line and the depth it finished.
struct ThreadAnswer {
    RootLine best;
    int depth;
    Move FirstMove() const { return best.pv.length ? best.pv.moves[best.pv.length] : NoMove; }
};

ThreadAnswer ChooseThread(Search& s) {
    std::vector<ThreadAnswer> answers;
    answers.reserve(s.workers.size());
    for (const auto& w : s.workers) {
        std::lock_guard lock(w->resultMutex);
        answers.push_back({w->best, w->finishedDepth});
    }
    int32_t minScore = ScoreInfinity;
    for (const ThreadAnswer& a : answers)
        if (a.depth > 0) minScore = std::min(minScore, a.best.score);
    auto votes = [&](Move m) {
        int64_t total = 0;
        for (const ThreadAnswer& a : answers)
            if (a.depth > 0 && a.FirstMove() == m)
                total += int64_t(a.best.score - minScore + VoteScoreFloor) * a.depth;
        return total;
    };
    const ThreadAnswer* best = &answers[0];
    for (const ThreadAnswer& a : answers) {
        if (a.depth == 0 || a.FirstMove() == NoMove) continue;
        const int32_t score = a.best.score, bestScore = best->best.score;
        if (std::abs(bestScore) > MateBound) {
            if (score > bestScore) best = &a;
        } else if (score > MateBound ||
                   (score >= -MateBound && votes(a.FirstMove()) > votes(best->FirstMove()))) {
            best = &a;
        }
    }
    return *best;
}

}  // namespace

int32_t SearchRoot(Worker& w, uint8_t depth, int lineCount) {
    const bool main = w.index == 0;
    Position& pos = w.pos;
    // Step 1. Count the root; it makes no clock check of its own.
    CountNode(w);
    PlyState& root = pos.ply[0];
    RootLine* lines = w.rootLines;
    const int k = lineCount;
    int count = 0, legal = 0;
    PvLine child;
    // Step 2. Every root move in the order of the last iteration's scores. The window is
    // always (floor, infinity), the floor being the k-th best score so far: no aspiration, no
    // cut-off at the root; once k moves have scores a null window first asks whether a move
    // beats the floor.
    for (int slot = 1; slot <= root.moveCount; ++slot) {
        const Move m = pos.moves[0][w.order.rootOrder[slot]];
        if (!MakeMove(pos, m, 0)) {
            w.order.rootScore[slot] = -ScoreInfinity;
            continue;
        }
        ++legal;
        if (main && k == 1 && w.progressShown) {
            std::string text = "info depth " + std::to_string(depth);
            text += " currmovenumber " + std::to_string(legal);
            text += " currmove " + MoveToText(m);
            WriteLine(text);
        }
        pos.ply[1].inCheck = CheckAfter(w, m, 0);
        // Step 2.1. Extensions: recapture, promotion and check; the root prunes and reduces
        // nothing.
        const uint8_t d = uint8_t(RootMoveDepth(w, m, depth));
        const int32_t floor = count < k ? -ScoreInfinity : lines[k - 1].score;
        const int32_t score = SearchAbove(w, d, floor, count < k, child);
        TakeBack(pos, m, 0);
        // Step 2.2. A stopped search leaves at once; otherwise the score orders the next
        // iteration, and a move that beats the floor joins the lines, kept in order of score.
        if (Stopped(w)) break;
        w.order.rootScore[slot] = score;
        if (count == k && score <= floor) continue;
        int at = count < k ? count++ : k - 1;
        lines[at].score = score;
        AppendMove(lines[at].pv, child, m);
        for (; at > 0 && lines[at - 1].score < lines[at].score; --at)
            std::swap(lines[at - 1], lines[at]);
        // A single line is reported at each new best move, several at the iteration's end.
        if (main && k == 1) PrintPv(w, depth, 0, score, lines[0].pv);
    }
    if (count == 0) {
        if (Stopped(w)) return -ScoreInfinity;
        // Step 3. No legal move: mated or stalemated. Store the result for the next iteration.
        const int32_t none = root.inCheck ? -MateScore : 0;
        HashStore(root.key, depth, BoundUpper, none, NoMove);
        return none;
    }
    const PvLine& best = lines[0].pv;
    if (Stopped(w)) return lines[0].score;
    HashStore(root.key, depth, BoundExact, lines[0].score, best.moves[best.length]);
    // The lines asked for, best first; a single one without its number, as always.
    const int shown = w.search->options.multiPv;
    if (main && k > 1)
        for (int i = 0; i < count && i < shown; ++i)
            PrintPv(w, depth, shown > 1 ? i + 1 : 0, lines[i].score, lines[i].pv);
    return lines[0].score;
}

void StorePvInHash(Worker& w, int32_t score, uint8_t depth, const PvLine& line) {
    if (std::abs(score) > MateBound) return;
    Position& pos = w.pos;
    uint8_t d = depth;
    int32_t s = score;
    int made = 0;  // moves actually on the board, to be taken back
    for (int i = line.length; i >= 1; --i) {
        const int p = line.length - i;
        HashStorePv(pos.ply[p].key, d, s, line.moves[i]);
        if (d > 0) --d;
        s = -s;
        if (!MakeMove(pos, line.moves[i], p)) break;  // never happens for a searched line
        ++made;
        SetInCheck(pos, p + 1);
    }
    for (int j = 0; j < made; ++j) {
        const int i = line.length - made + 1 + j;
        TakeBack(pos, line.moves[i], line.length - i);
    }
}

int PrepareRoot(Worker& w) {
    const Search& s = *w.search;
    Position& pos = w.pos;
    RestorePlacement(pos, s.placement);
    pos.ply[0] = s.root;
    w.progressShown = false;
    w.finishedLineCount = 0;

    // Root moves: legal ones get a random first score, so games vary. The in-check flag of
    // the root is set first, since every make relies on it.
    PlyState& root = pos.ply[0];
    SetInCheck(pos, 0);
    w.rootIsLegal = !IsAttacked(pos, uint8_t(1 - root.side), 0, NoSquare);
    GenerateMoves(pos, 0);
    int legal = 0;
    for (int k = 1; k <= root.moveCount; ++k) {
        w.order.rootOrder[k] = k;
        w.order.rootScore[k] = IllegalRootScore;
        const Move m = pos.moves[0][k];
        if (MakeMove(pos, m, 0)) {
            ++legal;
            w.order.rootScore[k] = int32_t(RandomDraw(w.random, RootRandomRange));
            TakeBack(pos, m, 0);
        }
    }

    // Order the root moves, legal ones first, and start killers and history afresh.
    SortRootMoves(w);
    ClearOrdering(w.order);
    root.moveCount = legal;
    // Until an iteration completes a root move, the thread's best is its first legal move.
    std::lock_guard lock(w.resultMutex);
    w.finishedDepth = 0;
    w.best.score = -ScoreInfinity;
    w.best.pv.length = legal > 0 ? 1 : 0;
    w.best.pv.moves[1] = pos.moves[0][w.order.rootOrder[1]];
    return legal;
}

void SearchAsHelper(Worker& w) {
    PrepareRoot(w);
    Iterate(w, 1);
}

void SearchAsMain(Worker& w) {
    Search& s = *w.search;
    // Entries of earlier searches may be replaced.
    ++HashAge;

    // The main thread's root. It continues the engine's own random sequence, so that one
    // thread shuffles its root exactly as the engine always has.
    w.random = RandomSeed;
    const int legal = PrepareRoot(w);
    RandomSeed = w.random;

    // No legal move: the side to move is mated or stalemated, and the answer is the null move.
    if (legal == 0) {
        WriteLine(std::string("info depth 0 score ") + (w.pos.ply[0].inCheck ? "mate 0" : "cp 0"));
        WaitForTheController(s);
        s.bestMove = s.ponderMove = NoMove;
        s.bestScore = w.pos.ply[0].inCheck ? -MateScore : 0;
        WriteLine("bestmove " + MoveToText(NoMove));
        return;
    }

    // Iterations, each one ply deeper, in every thread; each finished one seeds the table
    // with its line for the next. However the main thread ends, it ends the helpers. A level
    // searches alone, so that its strength is the same whatever the number of threads.
    if (!s.options.limitStrength) StartHelpers(s);
    const int lineCount = SearchLines(s.options);
    Iterate(w, lineCount);
    s.stop = true;

    // With helpers, the answer is the line the threads vote for, shown if it is not the main
    // thread's; at a level, it may be another of the main thread's last best few. The vote
    // does not wait for the helpers to leave their searches: with more threads than cores
    // that could take the time the clock does not have.
    const bool voting = s.workers.size() > 1 && lineCount == 1 && !s.options.limitStrength;
    RootLine best = w.best;
    if (voting) {
        const ThreadAnswer chosen = ChooseThread(s);
        if (chosen.FirstMove() != (best.pv.length ? best.pv.moves[best.pv.length] : NoMove) ||
            chosen.depth != w.finishedDepth)
            PrintPv(w, chosen.depth, 0, chosen.best.score, chosen.best.pv);
        best = chosen.best;
    }

    // A search that the node limit ended says how many nodes it took.
    if (s.nodeLimit != 0 && SearchNodes(s) >= s.nodeLimit) {
        const int64_t nodes = SearchNodes(s);
        const int32_t ms = ElapsedMs(s);
        WriteLine("info nodes " + std::to_string(nodes) + " time " + std::to_string(ms) + " nps " +
                  std::to_string(NodesPerSecond(nodes, ms)));
    }

    WaitForTheController(s);
    if (s.options.limitStrength && w.finishedLineCount > 1)
        best = w.finishedLines[ChooseLevelLine(w.finishedLines, w.finishedLineCount, s.options)];

    // Answer with the first move of the line, and with the move it expects in reply when the
    // controller ponders, from the line as shown, which the table may have made longer.
    const PvLine shown = ShownLine(w, best.pv, best.score);
    s.bestMove = shown.length ? shown.moves[shown.length] : NoMove;
    s.ponderMove = shown.length >= 2 ? shown.moves[shown.length - 1] : NoMove;
    s.bestScore = best.score;
    std::string text = "bestmove " + MoveToText(s.bestMove);
    if (s.options.ponder && s.ponderMove != NoMove) text += " ponder " + MoveToText(s.ponderMove);
    WriteLine(text);
    // The next search starts only once every helper has left this one.
    WaitForHelpers(s);
}
