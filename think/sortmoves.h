// Move ordering: the scoring and sorting pass, the root order, and the
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

// Per (destination square, moving piece kind) entries of the history.
constexpr int HistorySize = 128 * 12;

// The order in which one search thread tries its moves, and what the order learns as the
// search goes on. Entries of the per-ply tables are numbered from 1, like the move lists.
struct Ordering {
    // Per ply: the search order (positions in the ply's move list) and the score of each
    // order slot.
    int32_t order[MaxSearchPly + 1][MoveListStride];
    int32_t score[MaxSearchPly + 1][MoveListStride];

    // Two killers per ply: quiet moves that caused a cut-off, the most recent first.
    Move killers[MaxSearchPly + 1][2];

    // How often a quiet move stood in the order of a node that a quiet move cut off
    // (historyTried), how often it was the cut-off move (historyGood), and good * 16384 /
    // tried, kept up to date by every update so that scoring a quiet move needs no division.
    int32_t historyGood[HistorySize];
    int32_t historyTried[HistorySize];
    int32_t historyScores[HistorySize];

    // The root's own order: positions in ply 0's move list and their scores.
    int32_t rootOrder[MaxMovesPerPly];
    int32_t rootScore[MaxMovesPerPly];

    // Per ply and list position: the score in the high half and the position, counted down,
    // in the low half. The keys are unique, and ordering them by value is exactly the stable
    // sort by descending score, so any sorting method gives the one same order.
    int64_t sortKeys[MaxSearchPly + 1][MoveListStride];

    // Every tactical move and the hash move outscore every other move, so a list is ordered in
    // two stages: keys 1..tacticalEnd hold the hash move and the tactical moves, scored at
    // once; the keys after them, up to quietEnd, hold the quiet moves, scored only when the
    // order reaches them, since most nodes cut off before. Until then a quiet key holds only
    // its list position.
    int tacticalEnd[MaxSearchPly + 1];
    // Per ply: the board as it stood when the list was scored. A quiet move's history is that
    // of the piece it moves, which a waiting list may have to look up while a deeper position
    // is on the board.
    Piece boards[MaxSearchPly + 1][128];
    int quietEnd[MaxSearchPly + 1];
    // Per ply: the key position of the quiet stage's best key, found while scoring.
    int bestQuietPosition[MaxSearchPly + 1];
    // Per ply: the leading order slots that already hold their final move (see PickMove).
    int finalSlots[MaxSearchPly + 1];

    // A bit per ply whose quiet moves still wait for their scores. A quiet move is scored with
    // the history as it stood when its list was scored, so every history update first scores
    // the waiting lists. A bit may outlive its node; scoring its dead list then does no harm.
    uint64_t quietsWaiting[2];
};

struct Worker;

// The score that orders `m` at `ply`: the hash move, then captures and promotions by victim
// and attacker, then the killers, then the history as it stands.
int32_t MoveScore(const Worker& w, Move m, int ply, Move hashMove);
// Scores the list just generated at `ply` for a stable sort by descending score, with
// `hashMove` first; moveCount is left unchanged. The sort itself is done on demand by
// PickMove, and so is the scoring of quiet moves, with the killers and history as they stood
// here.
void ScoreMoves(Worker& w, int ply, Move hashMove);
// Makes order slot k of `ply` final: after PickMove(w, ply, 1..k) slots 1..k hold exactly
// what a full stable sort would put there. Most nodes cut off after a move or two, so each
// stage's first slot takes the best key found while scoring, and the rest is sorted only when
// the node gets that far. Defined with Worker in think.h.
inline void PickMove(Worker& w, int ply, int k);
void PickMoveSlow(Worker& w, int ply, int k);
// Sorts the root's slots 1..moveCount of ply 0 by descending score.
void SortRootMoves(Worker& w);
// Empties the killers and resets every history counter to 1.
void ClearOrdering(Ordering& order);

void UpdateKillers(Ordering& order, Move move, int ply);
// The history index of a quiet move in the position on the board.
int HistoryIndex(const Position& pos, Move move);
void AddHistoryHit(Worker& w, Move move);
void AddHistoryTry(Worker& w, Move move);
