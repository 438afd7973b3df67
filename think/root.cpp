// The root search, iterative deepening and the bestmove answer.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "movegen/attack.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/sortmoves.h"
#include "think/think.h"
#include "uci/util.h"

int MultiPv = 1;
bool PonderEnabled = false;

namespace {

constexpr int32_t IllegalRootScore = -1000;
constexpr uint32_t RootRandomRange = 1001;  // first-iteration scores 0..1000
constexpr int SoftRuleMinDepth = 6;

// "info depth D [multipv I] nodes N time T nps R score cp S pv ...": `lineNumber` 0 leaves out
// the multipv field.
void PrintPv(int depth, int lineNumber, int32_t score, const PvLine& line) {
    const int64_t nodes = SearchNodes();
    const int32_t ms = ElapsedMs();
    std::string text = "info depth " + std::to_string(depth);
    if (lineNumber) text += " multipv " + std::to_string(lineNumber);
    text += " nodes " + std::to_string(nodes) + " time " + std::to_string(ms) + " nps " +
            std::to_string(NodesPerSecond(nodes, ms)) + " score cp " + std::to_string(score) +
            " pv";
    for (int i = line.length; i >= 1; --i) {
        text += ' ';
        text += MoveToText(line.moves[i]);
    }
    WriteLine(text);
}

// Whether a score ends the main thread's iterations: any mate, or with "go mate N" only a mate
// in N moves or fewer for the side to move.
bool MateEndsSearch(int32_t score) {
    if (std::abs(score) <= MateBound) return false;
    if (SearchLimits.mate <= 0) return true;
    return score > 0 && (MateScore - score + 1) / 2 <= SearchLimits.mate;
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

// The root with several lines: a move is searched above the k-th best score so far, with a
// null window first, so that the k best moves get exact scores and lines. After a finished
// iteration the lines are printed best first. Returns the best score and line.
int32_t SearchRootLines(Worker& w, uint8_t depth, PvLine& line, int k) {
    Position& pos = w.pos;
    CountNode(w);
    PlyState& root = pos.ply[0];
    RootLine* lines = w.rootLines;
    int count = 0;
    PvLine child;
    for (int slot = 1; slot <= root.moveCount; ++slot) {
        const Move m = pos.moves[0][w.order.rootOrder[slot]];
        if (!MakeMove(pos, m, 0)) {
            w.order.rootScore[slot] = -ScoreInfinity;
            continue;
        }
        pos.ply[1].inCheck = CheckAfter(w, m, 0);
        const uint8_t d = uint8_t(RootMoveDepth(w, m, depth));
        const int32_t floor = count < k ? -ScoreInfinity : lines[k - 1].score;
        const int32_t score = SearchAbove(w, d, floor, count < k, child);
        TakeBack(pos, m, 0);
        if (StopFlag) break;
        w.order.rootScore[slot] = score;
        if (count == k && score <= floor) continue;
        // Insert the move's line among the best, keeping them in order of score.
        int at = count < k ? count++ : k - 1;
        lines[at].score = score;
        AppendMove(lines[at].pv, child, m);
        for (; at > 0 && lines[at - 1].score < lines[at].score; --at)
            std::swap(lines[at - 1], lines[at]);
    }
    if (count == 0) {
        if (StopFlag) return -ScoreInfinity;
        const int32_t none = root.inCheck ? -MateScore : 0;  // no legal move: mate or stalemate
        HashStore(root.key, depth, BoundUpper, none, NoMove);
        return none;
    }
    line = lines[0].pv;
    if (StopFlag) return lines[0].score;
    HashStore(root.key, depth, BoundExact, lines[0].score, line.moves[line.length]);
    std::copy(lines, lines + count, w.finishedLines);
    w.finishedLineCount = count;
    // The lines asked for, best first; a single one without its number, as always.
    if (w.index == 0)
        for (int i = 0; i < count && i < MultiPv; ++i)
            PrintPv(depth, MultiPv > 1 ? i + 1 : 0, lines[i].score, lines[i].pv);
    return lines[0].score;
}

// Runs the iterations of one thread until a limit, a mate or the soft time rule ends them
// (the main thread), or until the search is stopped or a mate is found (a helper). `best`
// receives the line of the last iteration that found one.
void Iterate(Worker& w, PvLine& best) {
    const bool main = w.index == 0;
    const PlyState& root = w.pos.ply[0];
    PvLine line;
    // Half of the helpers run one ply ahead of the main thread, so that the threads do not
    // all search the same tree at the same depth.
    const int first = main ? 1 : 1 + (w.index & 1);
    for (int depth = first; depth <= MaxIteration; ++depth) {
        SortRootMoves(w);
        line.length = 0;
        w.iterationDepth = depth;
        const int32_t score = SearchRoot(w, uint8_t(depth), line);
        if (StopFlag) {
            if (score != -ScoreInfinity) best = line;
            break;
        }
        StorePvInHash(w, score, uint8_t(depth), line);
        const int32_t e = main ? BudgetElapsedMs() : 0;
        best = line;
        if (!main) {
            if (std::abs(score) > MateBound) break;
            continue;
        }
        if (MateEndsSearch(score)) break;
        if (SearchLimits.depth != 0 && depth >= SearchLimits.depth) break;
        if (depth >= SoftRuleMinDepth) {
            if (root.moveCount == 1) break;
            if (e > SoftTime / 2.0 && TimeLimit > 0 && SoftTime != 0) break;
        }
    }
}

}  // namespace

int32_t SearchRoot(Worker& w, uint8_t depth, PvLine& line) {
    const bool main = w.index == 0;
    if (main && SearchLines() > 1) return SearchRootLines(w, depth, line, SearchLines());
    Position& pos = w.pos;
    // Step 1. Count the root; it makes no clock check of its own.
    CountNode(w);
    PlyState& root = pos.ply[0];
    int32_t best = -ScoreInfinity;
    int legal = 0;
    Move bestMove = NoMove;
    uint8_t bound = BoundUpper;
    PvLine child;
    // Step 2. Every root move in the order of the last iteration's scores.
    for (int k = 1; k <= root.moveCount; ++k) {
        const Move m = pos.moves[0][w.order.rootOrder[k]];
        if (!MakeMove(pos, m, 0)) {
            w.order.rootScore[k] = -ScoreInfinity;
            continue;
        }
        ++legal;
        if (main && w.progressShown) {
            std::string text = "info depth " + std::to_string(depth);
            text += " currmovenumber " + std::to_string(legal);
            text += " currmove " + MoveToText(m);
            WriteLine(text);
        }
        pos.ply[1].inCheck = CheckAfter(w, m, 0);

        // Step 2.1. Extensions: recapture, promotion and check; the root prunes and reduces
        // nothing.
        const int newDepth = RootMoveDepth(w, m, depth);

        // Step 2.2. The window is always (best, infinity): no aspiration, no cut-off at the
        // root; after the first move a null window asks whether a move beats the best.
        const int32_t score = SearchAbove(w, uint8_t(newDepth), best, legal == 1, child);
        // Step 2.3. Keep the score for the next iteration's order; a new best move is
        // reported with its line. A stopped search leaves at once.
        TakeBack(pos, m, 0);
        if (StopFlag) return best;
        w.order.rootScore[k] = score;
        if (score > best) {
            bound = BoundExact;
            bestMove = m;
            best = score;
            AppendMove(line, child, m);
            if (main) PrintPv(depth, 0, score, line);
        }
    }
    // Step 3. No legal move: mated or stalemated. Store the result for the next iteration.
    if (legal == 0) best = root.inCheck ? -MateScore : 0;
    HashStore(root.key, depth, bound, best, bestMove);
    return best;
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
    Position& pos = w.pos;
    std::memcpy(pos.board, Game.board, sizeof pos.board);
    pos.ply[0] = Game.ply[0];
    w.nodes.store(0, std::memory_order_relaxed);
    w.progressShown = false;

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
    return legal;
}

void SearchAsHelper(Worker& w) {
    PrepareRoot(w);
    PvLine best;
    best.length = 0;
    Iterate(w, best);
}

Move IterativeDeepening() {
    // Step 1. Clock, table age and time budget: entries of earlier searches may be replaced.
    StartClock();
    ++HashAge;
    SetTimeBudget();

    // Steps 2 to 4. The main thread's root. It continues the engine's own random sequence, so
    // that one thread shuffles its root exactly as the engine always has.
    Worker& main = MainWorker();
    main.random = RandomSeed;
    const int legal = PrepareRoot(main);
    RandomSeed = main.random;
    StopFlag = false;
    StopCommanded = false;
    main.finishedLineCount = 0;

    // Until an iteration completes a root move, the answer is the first legal move.
    PvLine best;
    best.length = 0;
    if (legal > 0) {
        best.length = 1;
        best.moves[1] = main.pos.moves[0][main.order.rootOrder[1]];
    }

    // Step 5. Iterations, each one ply deeper, in every thread; each finished one seeds the
    // table with its line for the next. However the main thread ends, it ends the helpers.
    StartHelpers();
    Iterate(main, best);
    StopFlag = true;
    WaitForHelpers();

    // A search that the node limit ended says how many nodes it took.
    if (NodeLimit != 0 && SearchNodes() >= NodeLimit) {
        const int64_t nodes = SearchNodes();
        const int32_t ms = ElapsedMs();
        WriteLine("info nodes " + std::to_string(nodes) + " time " + std::to_string(ms) + " nps " +
                  std::to_string(NodesPerSecond(nodes, ms)));
    }

    // An analysis or a pondering search that ended by itself (a mate, the depth) still waits
    // for its "stop" or "ponderhit": the controller has not asked for a move yet.
    if ((SearchLimits.infinite || SearchLimits.ponder) && !StopCommanded) {
        StopFlag = false;
        ListenToInput(true);
        StopFlag = true;
    }

    // At a level, the move may be another of the last iteration's best few.
    if (LimitStrength && main.finishedLineCount > 1)
        best = main.finishedLines[ChooseLevelLine(main.finishedLines, main.finishedLineCount)].pv;

    // Step 6. Answer with the first move of the last line found, and with the move it expects
    // in reply when the controller ponders.
    const Move answer = best.length ? best.moves[best.length] : NoMove;
    std::string text = "bestmove " + MoveToText(answer);
    if (PonderEnabled && best.length >= 2)
        text += " ponder " + MoveToText(best.moves[best.length - 1]);
    WriteLine(text);
    return answer;
}
