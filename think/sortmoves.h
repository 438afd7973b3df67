// Move ordering: the scoring and sorting pass, the legality filter, the root order, and the
// killer and history tables that feed the scores of quiet moves.
#pragma once

#include <cstdint>

#include "movegen/genmoves.h"

// Ordering scores.
constexpr int32_t HashMoveScore = 49152;
constexpr int32_t CaptureBaseScore = 32784;
constexpr int32_t Killer1Score = 16584;
constexpr int32_t Killer2Score = 16484;
constexpr int32_t HistoryScale = 16384;  // a history score is a fraction in 16384ths
constexpr int32_t IllegalMoveScore = -128;
constexpr int32_t SentinelScore = -32768;

// Two killers per ply: quiet moves that caused a cut-off, the most recent first.
extern Move Killers[MaxSearchPly + 1][2];

// Per (destination square, moving piece kind): how often a quiet move stood in the order of
// a node that a quiet move cut off, and how often it was the cut-off move.
constexpr int HistorySize = 128 * 12;
extern int32_t HistoryGood[HistorySize];
extern int32_t HistoryTried[HistorySize];

// The root's own order: positions in ply 0's move list and their scores.
extern int32_t RootOrder[MaxMovesPerPly];
extern int32_t RootScore[MaxMovesPerPly];

// Scores the list just generated at `ply` for a stable sort by descending score; moveCount is
// left unchanged. The sort itself is done on demand by PickMove, and so is the scoring of quiet
// moves, with the killers and history as they stood here.
void ScoreMoves(int ply);
// Makes order slot k of `ply` final: after PickMove(ply, 1..k) slots 1..k hold exactly what a
// full stable sort would put there. Most nodes cut off after a move or two, so the first few
// slots are found by selection and the rest are sorted only when the node gets that far.
inline void PickMove(int ply, int k);

// Per ply: the leading order slots that already hold their final move (see PickMove).
extern int FinalSlots[MaxSearchPly + 1];
void PickMoveSlow(int ply, int k);
inline void PickMove(int ply, int k) {
    if (k > FinalSlots[ply]) PickMoveSlow(ply, k);
}
// As ScoreMoves, but illegal moves sort last and moveCount becomes the legal count.
void FilterLegalMoves(int ply);
// Sorts the root's slots 1..moveCount of ply 0 by descending score.
void SortRootMoves();
// Empties the killers and resets every history counter to 1.
void ClearOrdering();

void UpdateKillers(Move move, int ply);
void AddHistoryHit(Move move);
void AddHistoryTry(Move move);

// The history score of a quiet move in the position on the board.
int32_t HistoryScore(Move move);
