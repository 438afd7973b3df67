// The root search, iterative deepening and the bestmove answer.
#include <cstdlib>
#include <string>

#include "movegen/attack.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/sortmoves.h"
#include "think/think.h"
#include "uci/util.h"

namespace {

constexpr int32_t IllegalRootScore = -1000;
constexpr uint32_t RootRandomRange = 1001;  // first-iteration scores 0..1000
constexpr int SoftRuleMinDepth = 6;

void PrintPv(int depth, int32_t score, const PvLine& line) {
    std::string text = "info depth " + std::to_string(depth) + " nodes " +
                       std::to_string(NodeCount) + " score cp " + std::to_string(score) + " pv";
    for (int i = line.length; i >= 1; --i) {
        text += ' ';
        text += MoveToText(line.moves[i]);
    }
    WriteLine(text);
}

}  // namespace

int32_t SearchRoot(uint8_t depth, PvLine& line) {
    // Step 1. Count the root; it makes no clock check of its own.
    ++NodeCount;
    PlyState& root = Ply[0];
    int32_t best = -ScoreInfinity;
    int legal = 0;
    Move bestMove = NoMove;
    root.hashBound = BoundUpper;
    PvLine child;
    // Step 2. Every root move in the order of the last iteration's scores.
    for (int k = 1; k <= root.moveCount; ++k) {
        const Move m = MoveTable[0][RootOrder[k]];
        if (!MakeMove(m, 0)) {
            RootScore[k] = -ScoreInfinity;
            continue;
        }
        ++legal;
        if (LastNps != 0) {
            std::string text = "info depth " + std::to_string(depth);
            text += " currmovenumber " + std::to_string(legal);
            text += " currmove " + MoveToText(m);
            WriteLine(text);
        }
        Ply[1].inCheck = CheckAfter(m, 0);

        // Step 2.1. Extensions: recapture, promotion and check; the root prunes and reduces
        // nothing.
        int newDepth = depth - 1;
        const int lastCaptured = CapturedOf(root.lastMove);
        if (lastCaptured != 0 && lastCaptured != Pawn &&
            PieceValue[lastCaptured] == PieceValue[CapturedOf(m)])
            ++newDepth;
        if (IsPromotion(m)) ++newDepth;
        if (Ply[1].inCheck) ++newDepth;

        // Step 2.2. The window is always (best, infinity): no aspiration, no cut-off at the
        // root; after the first move a null window asks whether a move beats the best.
        int32_t score;
        child.length = 0;
        if (legal == 1) {
            score = -AlphaBeta(-ScoreInfinity, -best, uint8_t(newDepth), 1, true, child);
        } else {
            score = -AlphaBeta(-best - 1, -best, uint8_t(newDepth), 1, true, child);
            if (score > best) {
                child.length = 0;
                score = -AlphaBeta(-ScoreInfinity, -best, uint8_t(newDepth), 1, true, child);
            }
        }
        // Step 2.3. Keep the score for the next iteration's order; a new best move is
        // reported with its line. A stopped search leaves at once.
        TakeBack(m, 0);
        if (StopFlag) return best;
        RootScore[k] = score;
        if (score > best) {
            root.hashBound = BoundExact;
            bestMove = m;
            best = score;
            AppendMove(line, child, m);
            PrintPv(depth, score, line);
        }
    }
    // Step 3. No legal move: mated or stalemated. Store the result for the next iteration.
    if (legal == 0) best = root.inCheck ? -MateScore : 0;
    HashStore(depth, 0, best, bestMove);
    return best;
}

void StorePvInHash(int32_t score, uint8_t depth, const PvLine& line) {
    if (std::abs(score) > MateBound) return;
    uint8_t d = depth;
    int32_t s = score;
    int made = 0;  // moves actually on the board, to be taken back
    for (int i = line.length; i >= 1; --i) {
        const int p = line.length - i;
        HashStorePv(Ply[p].key, d, s, line.moves[i]);
        if (d > 0) --d;
        s = -s;
        if (!MakeMove(line.moves[i], p)) break;  // never happens for a searched line
        ++made;
        SetInCheck(p + 1);
    }
    for (int j = 0; j < made; ++j) {
        const int i = line.length - made + 1 + j;
        TakeBack(line.moves[i], line.length - i);
    }
}

Move IterativeDeepening() {
    // Step 1. Clock, table age and time budget: entries of earlier searches may be replaced.
    StartClock();
    TimeLimit = -1;
    ++HashAge;
    SetTimeBudget();

    // Step 2. Counters of this search.
    NodeCount = 0;
    LastNps = 0;

    // Step 3. Root moves: legal ones get a random first score, so games vary. The in-check
    // flag of the root is set first, since every make relies on it.
    PlyState& root = Ply[0];
    SetInCheck(0);
    SetRootLegality();
    GenerateMoves(0);
    int legal = 0;
    for (int k = 1; k <= root.moveCount; ++k) {
        RootOrder[k] = k;
        RootScore[k] = IllegalRootScore;
        const Move m = MoveTable[0][k];
        if (MakeMove(m, 0)) {
            ++legal;
            RootScore[k] = int32_t(RandomDraw(RootRandomRange));
            TakeBack(m, 0);
        }
    }

    // Step 4. Order the root moves, legal ones first, and start killers and history afresh.
    SortRootMoves();
    ClearOrdering();
    root.moveCount = legal;
    StopFlag = 0;

    // Until an iteration completes a root move, the answer is the first legal move.
    PvLine best, line;
    best.length = 0;
    if (legal > 0) {
        best.length = 1;
        best.moves[1] = MoveTable[0][RootOrder[1]];
    }

    // Step 5. Iterations, each one ply deeper, until a limit, a mate or the soft time rule
    // ends them; each finished one seeds the table with its line for the next.
    for (int depth = 1; depth <= MaxIteration; ++depth) {
        SortRootMoves();
        line.length = 0;
        IterationDepth = depth;
        const int32_t score = SearchRoot(uint8_t(depth), line);
        if (StopFlag) {
            if (score != -ScoreInfinity) best = line;
            break;
        }
        StorePvInHash(score, uint8_t(depth), line);
        const int32_t e = ElapsedMs();
        best = line;
        if (std::abs(score) > MateBound) break;
        if (SearchLimits.depth != 0 && depth >= SearchLimits.depth) break;
        if (depth >= SoftRuleMinDepth) {
            if (root.moveCount == 1) break;
            if (e > SoftTime / 2.0 && TimeLimit > 0 && SoftTime != 0) break;
        }
    }

    // Step 6. Answer with the first move of the last line found.
    const Move answer = best.length ? best.moves[best.length] : NoMove;
    WriteLine("bestmove " + MoveToText(answer));
    return answer;
}
