// Quiescence, alpha-beta and repetition detection.
#include <cassert>
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
// A quiet move changes nothing it reads on the board, so it may be asked before the make.
int Extensions(const Worker& w, Move m, int ply, bool givesCheck) {
    if (ply >= ExtensionPlyFactor * w.iterationDepth) return 0;
    const Position& pos = w.pos;
    const Move last = pos.ply[ply].lastMove;
    int extension = RecaptureExtension(last, m);
    if (givesCheck) ++extension;
    // A pawn that reached its seventh rank (or beyond) with the last move.
    const Square s = ToOf(last);
    if ((pos.board[s] == WhitePawn && s >= A7) || (pos.board[s] == BlackPawn && s <= H2))
        ++extension;
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

}  // namespace

int RecaptureExtension(Move lastMove, Move move) {
    const int lastCaptured = CapturedOf(lastMove);
    return lastCaptured != 0 && lastCaptured != Pawn &&
           PieceValue[lastCaptured] == PieceValue[CapturedOf(move)];
}

uint8_t CheckAfter(Worker& w, Move move, int ply) {
    if (w.rootIsLegal) return GivesCheck(w.pos, move, ply);
    return IsAttacked(w.pos, w.pos.ply[ply + 1].side, uint8_t(ply + 1), NoSquare);
}

bool IsRepetition(const Position& pos, int ply, const KeyHistory& history) {
    const uint64_t key = pos.ply[ply].key;
    int matches = 0;
    for (int q = ply - 1; q >= 1; --q)
        if (pos.ply[q].key == key && ++matches == 2) return true;
    for (int s = history.count; s >= 1; --s)
        if (history.keys[s] == key && ++matches == 2) return true;
    return false;
}

int32_t Quiesce(Worker& w, int32_t alpha, int32_t beta, int ply, int qdepth) {
    Position& pos = w.pos;
    // Step 1. Count the node and watch the clock: a passed limit unwinds the whole search.
    if (PollClock(w, CountNode(w))) return beta;
    PlyState& ps = pos.ply[ply];
    if (ply >= MaxSearchPly) return Evaluate(pos, w.pawns, ply, alpha, beta);  // no deeper list

    // Steps 2 to 4. Stand pat: the side to move need not capture, so its static score is a
    // floor. In check there is no such floor and every move is searched as an evasion.
    const int32_t alpha0 = alpha;
    int32_t best = -ScoreInfinity, deltaBase = ScoreInfinity;
    if (!ps.inCheck) {
        const int32_t stand = Evaluate(pos, w.pawns, ply, alpha, beta);
        best = stand;
        if (stand > alpha) alpha = stand;
        if (stand >= beta) return stand;
        deltaBase = stand + DeltaMargin;
        GenerateCaptures(pos, ply);
    } else {
        GenerateMoves(pos, ply);
    }
    Checkers checkers;
    if (ps.inCheck) FindCheckers(pos, ps.side, ps.kingSquare[ps.side], checkers);

    // Step 5. Order: promotions, then captures of the most valuable victim by the least
    // valuable attacker, which cut off soonest.
    ScoreMoves(w, ply, NoMove);

    // Step 6. Try the moves, each resolved by quiescence in its turn.
    int legal = 0;
    for (int k = 1; k <= ps.moveCount; ++k) {
        PickMove(w, ply, k);
        const Move m = pos.moves[ply][w.order.order[ply][k]];
        if (ps.inCheck && CannotEscapeCheck(pos, m, ply, checkers)) continue;
        if (!ps.inCheck && qdepth >= QuietPromotionPlies && IsPromotion(m) && !CapturedOf(m))
            continue;

        // A capture that delta pruning will drop needs no make at all: only whether it gives
        // check matters, and, when it would raise best, whether it is legal.
        const int32_t delta = DeltaEstimate(m, deltaBase);
        if (beta - alpha0 == 1 && !ps.inCheck && w.rootIsLegal && delta <= alpha &&
            !IsEnPassant(ps, m) && !WouldGiveCheck(pos, m, ply)) {
            if (delta > best && !WouldExposeKing(pos, m, ply)) best = delta;
            continue;
        }

        if (!MakeCapture(pos, m, ply, ps.inCheck ? &checkers : nullptr)) continue;
        ++legal;
        PlyState& next = pos.ply[ply + 1];
        next.inCheck = CheckAfter(w, m, ply);

        // Delta pruning: at a null-window node, a capture that cannot lift the score to
        // alpha even with the captured piece and a margin is not searched.
        if (beta - alpha0 == 1 && !ps.inCheck && !next.inCheck && delta <= alpha) {
            if (delta > best) best = delta;
            TakeBack(pos, m, ply);
            continue;
        }

        const int32_t score = -Quiesce(w, -beta, -alpha, ply + 1, qdepth + 1);
        TakeBack(pos, m, ply);
        // This node's record may come from the quiescence make, which keeps no 64-bit key.
        assert(!w.rootIsLegal || BoardIsOk(pos, ply, false));
        if (Stopped(w)) return best;
        if (score > best) best = score;
        if (score > alpha) alpha = score;
        if (score >= beta) return score;
    }

    // Step 7. Checkmate: in check with no legal evasion; sooner mates score higher.
    if (ps.inCheck && legal == 0) best = ply - MateScore;
    return best;
}

int32_t AlphaBeta(Worker& w, int32_t alpha, int32_t beta, uint8_t depth, int ply, bool nullAllowed,
                  PvLine& line) {
    Position& pos = w.pos;
    if (ply >= MaxSearchPly) return Evaluate(pos, w.pawns, ply, alpha, beta);  // no deeper list

    // Step 1. Leaf: resolve the captures before the static score is trusted.
    if (depth == 0) return Quiesce(w, alpha, beta, ply);

    // Step 2. Count the node and watch the clock: a passed limit unwinds the whole search.
    if (PollClock(w, CountNode(w))) return beta;

    // Step 3. Repetition: a third occurrence is a draw, whatever the table says.
    if (IsRepetition(pos, ply, w.search->history)) return 0;

    PlyState& ps = pos.ply[ply];
    const int32_t alpha0 = alpha;
    const bool nullWindow = beta - alpha0 == 1;

    // Step 4. Transposition table: an entry at least this deep whose bound decides the window
    // ends a null-window node; a principal-variation node only takes its move. The move may
    // come from another thread's position in the same slot only if the key test passed, and
    // it is searched only when it matches a generated move of this position.
    const HashHit hit = HashProbe(ps.key);
    Move hashMove = hit.move;
    if (nullWindow && hit.bound != BoundNone && hit.depth >= depth) {
        if (hit.bound == BoundUpper && hit.score <= alpha) return hit.score;
        if (hit.bound == BoundExact) return hit.score;
        if (hit.bound == BoundLower && hit.score >= beta) return hit.score;
    }

    // Step 5. Null move: if passing still holds beta, a real move will too. Not in check,
    // not near mate scores, and only with enough material on both sides (zugzwang).
    if (nullAllowed && !ps.inCheck && nullWindow && std::abs(beta) < MateBound && depth >= 2 &&
        (depth < 5 || Evaluate(pos, w.pawns, ply, alpha, beta) >= beta) && NullMoveMaterialOk(ps)) {
        MakeNullMove(pos, ply);
        const uint8_t reduced = depth >= NullMoveReduction ? uint8_t(depth - NullMoveReduction) : 0;
        PvLine nullLine;
        nullLine.length = 0;
        const int32_t score = -AlphaBeta(w, -beta, -beta + 1, reduced, ply + 1, false, nullLine);
        TakeBackNullMove(pos, ply);
        if (Stopped(w)) return beta;
        if (score >= beta) {
            HashStore(ps.key, depth, BoundLower, score, NoMove);
            return score;
        }
    }

    // Step 6. Internal iterative deepening: a principal-variation node without a hash move
    // finds one with a search two plies shallower, since a good first move saves the most.
    if (hashMove == NoMove && depth >= IidMinDepth && !nullWindow) {
        line.length = 0;
        int32_t score = AlphaBeta(w, alpha, beta, uint8_t(depth - 2), ply, nullAllowed, line);
        if (score <= alpha) {
            line.length = 0;
            AlphaBeta(w, -ScoreInfinity, beta, uint8_t(depth - 2), ply, nullAllowed, line);
        }
        if (Stopped(w)) return beta;
        hashMove = line.length ? line.moves[line.length] : NoMove;
    }

    // Step 7. Generate and order the moves: hash move, captures, killers, then history.
    int32_t best = -ScoreInfinity, futilityValue = ScoreInfinity;
    Move bestMove = NoMove;
    int bestSlot = 0, legal = 0;
    uint8_t bound = BoundUpper;
    GenerateMoves(pos, ply);
    ScoreMoves(w, ply, hashMove);
    Checkers checkers;
    if (ps.inCheck) FindCheckers(pos, ps.side, ps.kingSquare[ps.side], checkers);
    const Move* killers = w.order.killers[ply];

    // Step 8. Try the moves in order until one refutes the window.
    PvLine child;
    for (int k = 1; k <= ps.moveCount; ++k) {
        PickMove(w, ply, k);
        const Move m = pos.moves[ply][w.order.order[ply][k]];
        const int32_t h = w.order.score[ply][k];
        const bool quiet = IsQuiet(m);
        const bool killer = m == killers[0] || m == killers[1];
        const bool prunable = nullWindow && !ps.inCheck && quiet && !killer;

        // Step 8.1. Futility value: the static score plus the depth's margin, computed once,
        // when the first move that could be pruned comes up.
        if (depth <= 3 && prunable && futilityValue == ScoreInfinity)
            futilityValue = FutilityMargin(depth) + Evaluate(pos, w.pawns, ply, alpha, beta);

        // Step 8.6 before the make: a quiet move that futility pruning drops needs no make
        // if it is legal, gives no check and earns no extension, which the position before it
        // tells. A legal one still counts as legal; any other goes on as below.
        if (depth <= 3 && prunable && futilityValue <= alpha && w.rootIsLegal &&
            !IsCastling(pos.board[FromOf(m)], m)) {
            if (WouldExposeKing(pos, m, ply)) continue;
            if (!WouldGiveCheck(pos, m, ply) && Extensions(w, m, ply, false) == 0) {
                ++legal;
                if (futilityValue > best) {
                    best = futilityValue;
                    line.length = 0;
                }
                continue;
            }
        }

        // Steps 8.2 and 8.3. Make the move, skipping those that cannot answer a check, and
        // note whether it gives check: pruning spares checks.
        if (ps.inCheck && CannotEscapeCheck(pos, m, ply, checkers)) continue;
        if (!MakeMove(pos, m, ply, ps.inCheck ? &checkers : nullptr)) continue;
        ++legal;
        PlyState& next = pos.ply[ply + 1];
        next.inCheck = CheckAfter(w, m, ply);
        const bool givesCheck = next.inCheck;

        // Steps 8.4 and 8.5. Extensions: recaptures, checks, pawns on the seventh rank and
        // promotions are searched a ply deeper; a move without one is "unextended".
        int newDepth = depth - 1 + Extensions(w, m, ply, givesCheck);
        const bool unextended = newDepth < depth;
        const bool quietCandidate = prunable && !givesCheck && unextended;

        // Step 8.6. Futility pruning: a quiet move this far below alpha cannot raise it
        // within the margin, so the futility value stands for it.
        if (depth <= 3 && quietCandidate && futilityValue <= alpha) {
            if (futilityValue > best) {
                best = futilityValue;
                line.length = 0;
            }
            TakeBack(pos, m, ply);
            continue;
        }

        // Step 8.7. History pruning: near the leaves, a quiet move that has rarely cut off
        // before is not searched at all.
        if (quietCandidate && HistoryPrunes(depth, h)) {
            TakeBack(pos, m, ply);
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
        const uint8_t d = uint8_t(newDepth);
        if (nullWindow || legal == 1) {
            score = -AlphaBeta(w, -beta, -alpha, d, ply + 1, nullAllowed, child);
        } else {
            score = -AlphaBeta(w, -alpha - 1, -alpha, d, ply + 1, nullAllowed, child);
            if (score > alpha) {
                child.length = 0;
                score = -AlphaBeta(w, -beta, -alpha, d, ply + 1, nullAllowed, child);
            }
        }

        // Step 8.11. Re-search: a reduced move that beats alpha gets one ply back.
        if (reduced && score > alpha) {
            ++newDepth;
            child.length = 0;
            score = -AlphaBeta(w, -beta, -alpha, uint8_t(newDepth), ply + 1, nullAllowed, child);
        }

        // Step 8.12. Take the move back: the board, keys and material are this node's again
        // (checked in debug builds where no king can be taken, which breaks the material sum).
        TakeBack(pos, m, ply);
        assert(!w.rootIsLegal || BoardIsOk(pos, ply));

        // Steps 8.13 to 8.16. A stopped search leaves at once; otherwise the best score,
        // alpha, the line and the bound follow the score, and beta ends the loop.
        if (Stopped(w)) return best;
        if (score > best) best = score;
        if (score > alpha) {
            alpha = score;
            AppendMove(line, child, m);
            bestMove = m;
            bestSlot = k;
            bound = BoundExact;
        }
        if (score >= beta) {
            bound = BoundLower;
            break;
        }
    }

    // Step 9. No legal move: checkmate (sooner mates score higher) or stalemate.
    if (bound != BoundLower && legal == 0) best = ps.inCheck ? ply - MateScore : 0;

    // Step 10. Killers and history learn from the best move, so that the next nodes try
    // it early; the quiet moves tried before a cut-off count as failures.
    if (bestMove != NoMove) {
        UpdateKillers(w.order, bestMove, ply);
        if (best >= beta && IsQuiet(bestMove)) {
            for (int k = 1; k < bestSlot; ++k)
                AddHistoryTry(w, pos.moves[ply][w.order.order[ply][k]]);
            AddHistoryHit(w, bestMove);
        }
    }

    // Step 11. Store the result for later visits and the next iteration.
    HashStore(ps.key, depth, bound, best, bestMove);
    return best;
}
