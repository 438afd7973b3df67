// Quiescence, alpha-beta and repetition detection.
#include <cstdlib>

#include "eval/eval.h"
#include "movegen/attack.h"
#include "movegen/genkills.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/sortmoves.h"
#include "think/think.h"

namespace {

// Tuning constants of the pruning rules. History scores are fractions of 16384.
constexpr int32_t DeltaMargin = 50;
constexpr int32_t FutilityMargins[4] = {0, 100, 400, 1200};  // by remaining depth
constexpr int32_t HistoryPruneShallow = 3276;                // a fifth, at depth 1..3
constexpr int32_t HistoryPruneDepth4 = 2457;                 // 15 %, at depth 4
constexpr int32_t ReduceThreshold = 9830;                    // 60 %: reduce by one ply
constexpr int32_t ReduceMoreThreshold = 4915;                // 30 %: one more at depth 8+
constexpr int32_t NullMoveMaterial = 1000;
constexpr int NullMoveReduction = 4;  // the normal ply plus three
constexpr int IidMinDepth = 4;
constexpr int ExtensionPlyFactor = 2;
// Deeper than this into quiescence, a promotion that takes nothing is left out (unless it
// answers a check): rows of pawns on the seventh rank would otherwise keep it going for ever.
constexpr int QuietPromotionPlies = 4;

// What a capture can at most gain in quiescence: the piece taken, the promotion's gain over the
// pawn, and a margin (in the base).
int32_t DeltaEstimate(Move m, int32_t deltaBase) {
    int32_t d = PieceValue[CapturedOf(m)] + deltaBase;
    if (IsPromotion(m)) d += PieceValue[PromotionOf(m)] - PieceValue[Pawn];
    return d;
}

// Step 8.4: the extensions a move earns, each one ply. Beyond twice the iteration's depth none
// is granted: a line of pawns on the seventh rank could otherwise keep the depth from falling.
int Extensions(Move m, int ply) {
    if (ply >= ExtensionPlyFactor * IterationDepth) return 0;
    const Move last = Ply[ply].lastMove;
    const int lastCaptured = CapturedOf(last);
    int extension = 0;
    if (lastCaptured != 0 && lastCaptured != Pawn &&
        PieceValue[lastCaptured] == PieceValue[CapturedOf(m)])
        ++extension;  // recapture of a piece of equal value
    if (Ply[ply + 1].inCheck) ++extension;
    // A pawn that reached its seventh rank (or beyond) with the last move.
    const Square s = ToOf(last);
    if ((Board[s] == WhitePawn && s >= A7) || (Board[s] == BlackPawn && s <= H2)) ++extension;
    if (IsPromotion(m)) ++extension;
    return extension;
}

// Step 8.6: how far below alpha a quiet move may stand before it is pruned.
int32_t FutilityMargin(uint8_t depth) { return FutilityMargins[depth <= 3 ? depth : 3]; }

// Step 8.7: quiet moves that rarely cut off are not searched near the leaves.
bool HistoryPrunes(uint8_t depth, int32_t history) {
    return depth <= 4 && history < (depth <= 3 ? HistoryPruneShallow : HistoryPruneDepth4);
}

// Step 8.8: plies taken from a late quiet move, 0..2.
int LateMoveReduction(uint8_t depth, int32_t history, int legalCount) {
    if (depth < 3 || legalCount < 3 || history >= ReduceThreshold) return 0;
    return depth >= 8 && history < ReduceMoreThreshold ? 2 : 1;
}

// Step 5: the null move needs material on both sides, where zugzwang is rare.
bool NullMoveMaterialOk(const PlyState& ps) {
    return ps.material[0] >= NullMoveMaterial && ps.material[1] >= NullMoveMaterial;
}

// True while the side not to move at the root is not in check, as in every position a game
// can reach; then the search may read checks off the moved piece (GivesCheck).
bool RootIsLegal = false;

}  // namespace

void SetRootLegality() { RootIsLegal = !IsAttacked(uint8_t(1 - Ply[0].side), 0, NoSquare); }

int IterationDepth = 0;

uint8_t CheckAfter(Move move, int ply) {
    if (RootIsLegal) return GivesCheck(move, ply);
    return IsAttacked(Ply[ply + 1].side, uint8_t(ply + 1), NoSquare);
}

bool IsRepetition(int ply) {
    const uint64_t key = Ply[ply].key;
    int matches = 0;
    for (int q = ply - 1; q >= 1; --q)
        if (Ply[q].key == key && ++matches == 2) return true;
    for (int s = HistoryCount; s >= 1; --s)
        if (GameHistory[s] == key && ++matches == 2) return true;
    return false;
}

int32_t Quiesce(int32_t alpha, int32_t beta, int ply, int qdepth) {
    // Step 1. Count the node and watch the clock: a passed limit unwinds the whole search.
    ++NodeCount;
    if (PollClock()) return beta;
    PlyState& ps = Ply[ply];
    if (ply >= MaxSearchPly) return Evaluate(ply, alpha, beta);  // no deeper move list

    // Steps 2 to 4. Stand pat: the side to move need not capture, so its static score is a
    // floor. In check there is no such floor and every move is searched as an evasion.
    const int32_t alpha0 = alpha;
    int32_t best = -ScoreInfinity, deltaBase = ScoreInfinity;
    if (!ps.inCheck) {
        const int32_t stand = Evaluate(ply, alpha, beta);
        best = stand;
        if (stand > alpha) alpha = stand;
        if (stand >= beta) return stand;
        deltaBase = stand + DeltaMargin;
        GenerateCaptures(ply);
    } else {
        GenerateMoves(ply);
    }
    Checkers checkers;
    if (ps.inCheck) FindCheckers(ps.side, ps.kingSquare[ps.side], checkers);

    // Step 5. Order: promotions, then captures of the most valuable victim by the least
    // valuable attacker, which cut off soonest.
    ps.hashMove = NoMove;
    ScoreMoves(ply);

    // Step 6. Try the moves, each resolved by quiescence in its turn.
    int legal = 0;
    for (int k = 1; k <= ps.moveCount; ++k) {
        PickMove(ply, k);
        const Move m = MoveTable[ply][OrderTable[ply][k]];
        if (ps.inCheck && CannotEscapeCheck(m, ps.kingSquare[ps.side], checkers)) continue;
        if (!ps.inCheck && qdepth >= QuietPromotionPlies && IsPromotion(m) && !CapturedOf(m))
            continue;

        // A capture that delta pruning will drop without raising best needs no make at all:
        // whether it is legal makes no difference, only whether it gives check.
        const int32_t delta = DeltaEstimate(m, deltaBase);
        if (beta - alpha0 == 1 && !ps.inCheck && RootIsLegal && delta <= alpha && delta <= best &&
            !(CapturedOf(m) && Board[ToOf(m)] == 0) && !WouldGiveCheck(m, ply))
            continue;

        if (!MakeCapture(m, ply, ps.inCheck ? &checkers : nullptr)) continue;
        ++legal;
        PlyState& next = Ply[ply + 1];
        next.inCheck = CheckAfter(m, ply);

        // Delta pruning: at a null-window node, a capture that cannot lift the score to
        // alpha even with the captured piece and a margin is not searched.
        if (beta - alpha0 == 1 && !ps.inCheck && !next.inCheck && delta <= alpha) {
            if (delta > best) best = delta;
            TakeBack(m, ply);
            continue;
        }

        const int32_t score = -Quiesce(-beta, -alpha, ply + 1, qdepth + 1);
        TakeBack(m, ply);
        if (StopFlag) return best;
        if (score > best) best = score;
        if (score > alpha) alpha = score;
        if (score >= beta) return score;
    }

    // Step 7. Checkmate: in check with no legal evasion; sooner mates score higher.
    if (ps.inCheck && legal == 0) best = ply - MateScore;
    return best;
}

int32_t AlphaBeta(int32_t alpha, int32_t beta, uint8_t depth, int ply, bool nullAllowed,
                  PvLine& line) {
    if (ply >= MaxSearchPly) return Evaluate(ply, alpha, beta);  // no deeper move list

    // Step 1. Leaf: resolve the captures before the static score is trusted.
    if (depth == 0) return Quiesce(alpha, beta, ply);

    // Step 2. Count the node and watch the clock: a passed limit unwinds the whole search.
    ++NodeCount;
    if (PollClock()) return beta;

    // Step 3. Repetition: a third occurrence is a draw, whatever the table says.
    if (IsRepetition(ply)) return 0;

    PlyState& ps = Ply[ply];
    const int32_t alpha0 = alpha;
    const bool nullWindow = beta - alpha0 == 1;

    // Step 4. Transposition table: an entry at least this deep whose bound decides the window
    // ends a null-window node; a principal-variation node only takes its move.
    HashProbe(ply);
    if (nullWindow && ps.hashBound != BoundNone && ps.hashDepth >= depth) {
        if (ps.hashBound == BoundUpper && ps.hashScore <= alpha) return ps.hashScore;
        if (ps.hashBound == BoundExact) return ps.hashScore;
        if (ps.hashBound == BoundLower && ps.hashScore >= beta) return ps.hashScore;
    }

    // Step 5. Null move: if passing still holds beta, a real move will too. Not in check,
    // not near mate scores, and only with enough material on both sides (zugzwang).
    if (nullAllowed && !ps.inCheck && nullWindow && std::abs(beta) < MateBound && depth >= 2 &&
        (depth < 5 || Evaluate(ply, alpha, beta) >= beta) && NullMoveMaterialOk(ps)) {
        MakeNullMove(ply);
        const uint8_t reduced = depth >= NullMoveReduction ? uint8_t(depth - NullMoveReduction) : 0;
        PvLine nullLine;
        nullLine.length = 0;
        const int32_t score = -AlphaBeta(-beta, -beta + 1, reduced, ply + 1, false, nullLine);
        TakeBackNullMove(ply);
        if (StopFlag) return beta;
        if (score >= beta) {
            ps.hashBound = BoundLower;
            HashStore(depth, ply, score, NoMove);
            return score;
        }
    }

    // Step 6. Internal iterative deepening: a principal-variation node without a hash move
    // finds one with a search two plies shallower, since a good first move saves the most.
    if (ps.hashMove == NoMove && depth >= IidMinDepth && !nullWindow) {
        line.length = 0;
        int32_t score = AlphaBeta(alpha, beta, uint8_t(depth - 2), ply, nullAllowed, line);
        if (score <= alpha) {
            line.length = 0;
            AlphaBeta(-ScoreInfinity, beta, uint8_t(depth - 2), ply, nullAllowed, line);
        }
        if (StopFlag) return beta;
        ps.hashMove = line.length ? line.moves[line.length] : NoMove;
    }

    // Step 7. Generate and order the moves: hash move, captures, killers, then history.
    int32_t best = -ScoreInfinity, futilityValue = ScoreInfinity;
    Move bestMove = NoMove;
    int bestSlot = 0, legal = 0;
    bool cutoff = false;
    GenerateMoves(ply);
    ScoreMoves(ply);
    ps.hashBound = BoundUpper;
    Checkers checkers;
    if (ps.inCheck) FindCheckers(ps.side, ps.kingSquare[ps.side], checkers);

    // Step 8. Try the moves in order until one refutes the window.
    PvLine child;
    for (int k = 1; k <= ps.moveCount; ++k) {
        PickMove(ply, k);
        const Move m = MoveTable[ply][OrderTable[ply][k]];
        const int32_t h = ScoreTable[ply][k];
        const bool quiet = IsQuiet(m);
        const bool killer = m == Killers[ply][0] || m == Killers[ply][1];
        const bool prunable = nullWindow && !ps.inCheck && quiet && !killer;

        // Step 8.1. Futility value: the static score plus the depth's margin, computed once,
        // when the first move that could be pruned comes up.
        if (depth <= 3 && prunable && futilityValue == ScoreInfinity)
            futilityValue = FutilityMargin(depth) + Evaluate(ply, alpha, beta);

        // Steps 8.2 and 8.3. Make the move, skipping those that cannot answer a check, and
        // note whether it gives check: pruning spares checks.
        if (ps.inCheck && CannotEscapeCheck(m, ps.kingSquare[ps.side], checkers)) continue;
        if (!MakeMove(m, ply, ps.inCheck ? &checkers : nullptr)) continue;
        ++legal;
        PlyState& next = Ply[ply + 1];
        next.inCheck = CheckAfter(m, ply);
        const bool givesCheck = next.inCheck;

        // Steps 8.4 and 8.5. Extensions: recaptures, checks, pawns on the seventh rank and
        // promotions are searched a ply deeper; a move without one is "unextended".
        int newDepth = depth - 1 + Extensions(m, ply);
        const bool unextended = newDepth < depth;
        const bool quietCandidate = prunable && !givesCheck && unextended;

        // Step 8.6. Futility pruning: a quiet move this far below alpha cannot raise it
        // within the margin, so the futility value stands for it.
        if (depth <= 3 && quietCandidate && futilityValue <= alpha) {
            if (futilityValue > best) {
                best = futilityValue;
                line.length = 0;
            }
            TakeBack(m, ply);
            continue;
        }

        // Step 8.7. History pruning: near the leaves, a quiet move that has rarely cut off
        // before is not searched at all.
        if (quietCandidate && HistoryPrunes(depth, h)) {
            TakeBack(m, ply);
            continue;
        }

        // Step 8.8. Late-move reduction: a late quiet move with a poor history is searched
        // one or two plies shallower first.
        const int reduction = quietCandidate ? LateMoveReduction(depth, h, legal) : 0;
        const bool reduced = reduction > 0;
        newDepth -= reduction;

        // Step 8.9. Extensions and reductions never make the depth negative.
        if (newDepth < 0) newDepth = 0;

        // Step 8.10. Principal-variation search: after the first move, a null window only
        // asks whether a move beats alpha; one that does is searched again with the full window.
        int32_t score;
        child.length = 0;
        if (nullWindow || legal == 1) {
            score = -AlphaBeta(-beta, -alpha, uint8_t(newDepth), ply + 1, nullAllowed, child);
        } else {
            score = -AlphaBeta(-alpha - 1, -alpha, uint8_t(newDepth), ply + 1, nullAllowed, child);
            if (score > alpha) {
                child.length = 0;
                score = -AlphaBeta(-beta, -alpha, uint8_t(newDepth), ply + 1, nullAllowed, child);
            }
        }

        // Step 8.11. Re-search: a reduced move that beats alpha gets one ply back.
        if (reduced && score > alpha) {
            ++newDepth;
            child.length = 0;
            score = -AlphaBeta(-beta, -alpha, uint8_t(newDepth), ply + 1, nullAllowed, child);
        }

        // Step 8.12. Take the move back.
        TakeBack(m, ply);

        // Steps 8.13 to 8.16. A stopped search leaves at once; otherwise the best score,
        // alpha, the line and the bound follow the score, and beta ends the loop.
        if (StopFlag) return best;
        if (score > best) best = score;
        if (score > alpha) {
            alpha = score;
            AppendMove(line, child, m);
            bestMove = m;
            bestSlot = k;
            ps.hashBound = BoundExact;
        }
        if (score >= beta) {
            ps.hashBound = BoundLower;
            cutoff = true;
            break;
        }
    }

    // Step 9. No legal move: checkmate (sooner mates score higher) or stalemate.
    if (!cutoff && legal == 0) best = ps.inCheck ? ply - MateScore : 0;

    // Step 10. Killers and history learn from the best move, so that the next nodes try
    // it early; the quiet moves tried before a cut-off count as failures.
    if (bestMove != NoMove) {
        UpdateKillers(bestMove, ply);
        if (best >= beta && IsQuiet(bestMove)) {
            for (int k = 1; k < bestSlot; ++k) AddHistoryTry(MoveTable[ply][OrderTable[ply][k]]);
            AddHistoryHit(bestMove);
        }
    }

    // Step 11. Store the result for later visits and the next iteration.
    HashStore(depth, ply, best, bestMove);
    return best;
}
