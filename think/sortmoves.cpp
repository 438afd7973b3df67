// Move ordering.
#include "think/sortmoves.h"

#include "movemake/hash.h"
#include "movemake/movemake.h"

Move Killers[MaxSearchPly + 1][2];
int32_t HistoryGood[HistorySize];
int32_t HistoryTried[HistorySize];
int32_t RootOrder[MaxMovesPerPly];
int32_t RootScore[MaxMovesPerPly];

// HistoryGood * 16384 / HistoryTried, kept up to date by every update so that scoring a quiet
// move needs no division.
static int32_t HistoryScores[HistorySize];

namespace {

int HistoryIndex(Move move) { return ToOf(move) * 12 + PieceIndex(FromOf(move)); }

int32_t ScoreOf(Move m, int ply) {
    if (m == Ply[ply].hashMove) return HashMoveScore;
    if (IsTactical(m))
        return CaptureBaseScore + 10 * (7 - CapturedOf(m)) - (7 - TypeOf(Board[FromOf(m)])) -
               PromotionOf(m);
    if (m == Killers[ply][0]) return Killer1Score;
    if (m == Killers[ply][1]) return Killer2Score;
    return HistoryScore(m);
}

// Slots taken by selection before the rest of a list is sorted at once.
constexpr int SelectedSlots = 3;

// Per ply: the leading order slots that already hold their final move.
int FinalSlots[MaxSearchPly + 1];

// Stable insertion sort, descending, over slots first..n; slot n + 1 holds the sentinel.
void SortSlots(int ply, int n, int first = 1) {
    int32_t* order = OrderTable[ply];
    int32_t* score = ScoreTable[ply];
    score[n + 1] = SentinelScore;
    for (int i = n - 1; i >= first; --i) {
        int32_t index = order[i], value = score[i];
        int j = i;
        while (value < score[j + 1]) {
            order[j] = order[j + 1];
            score[j] = score[j + 1];
            ++j;
        }
        order[j] = index;
        score[j] = value;
    }
}

// Halves both counters of a full index, then refreshes its cached score.
void HalveIfFullAndRescore(int i) {
    if (HistoryTried[i] >= HistoryScale) {
        HistoryGood[i] = (HistoryGood[i] + 1) / 2;
        HistoryTried[i] = (HistoryTried[i] + 1) / 2;
    }
    HistoryScores[i] = HistoryGood[i] * HistoryScale / HistoryTried[i];
}

}  // namespace

int32_t HistoryScore(Move move) { return HistoryScores[HistoryIndex(move)]; }

void ScoreMoves(int ply) {
    const int n = Ply[ply].moveCount;
    for (int k = 1; k <= n; ++k) {
        OrderTable[ply][k] = k;
        ScoreTable[ply][k] = ScoreOf(MoveTable[ply][k], ply);
    }
    ScoreTable[ply][n + 1] = SentinelScore;
    FinalSlots[ply] = 0;
}

void PickMove(int ply, int k) {
    if (k <= FinalSlots[ply]) return;
    const int n = Ply[ply].moveCount;
    if (k > SelectedSlots) {
        SortSlots(ply, n, k);
        FinalSlots[ply] = n;
        return;
    }
    // The first best from slot k on; the slots it passes shift up one, keeping their order.
    int32_t* order = OrderTable[ply];
    int32_t* score = ScoreTable[ply];
    int best = k;
    for (int j = k + 1; j <= n; ++j)
        if (score[j] > score[best]) best = j;
    const int32_t index = order[best], value = score[best];
    for (int j = best; j > k; --j) {
        order[j] = order[j - 1];
        score[j] = score[j - 1];
    }
    order[k] = index;
    score[k] = value;
    FinalSlots[ply] = k;
}

void FilterLegalMoves(int ply) {
    const int n = Ply[ply].moveCount;
    int legal = 0;
    for (int k = 1; k <= n; ++k) {
        Move m = MoveTable[ply][k];
        OrderTable[ply][k] = k;
        if (MakeTrial(m, ply)) {
            TakeBack(m, ply);
            ++legal;
            ScoreTable[ply][k] = ScoreOf(m, ply);
        } else {
            ScoreTable[ply][k] = IllegalMoveScore;
        }
    }
    SortSlots(ply, n);
    Ply[ply].moveCount = legal;
}

void SortRootMoves() {
    const int n = Ply[0].moveCount;
    for (int i = 1; i < n; ++i)
        for (int j = i + 1; j <= n; ++j)
            if (RootScore[i] < RootScore[j]) {
                std::swap(RootScore[i], RootScore[j]);
                std::swap(RootOrder[i], RootOrder[j]);
            }
}

void ClearOrdering() {
    for (auto& pair : Killers) pair[0] = pair[1] = NoMove;
    for (int i = 0; i < HistorySize; ++i) {
        HistoryGood[i] = HistoryTried[i] = 1;
        HistoryScores[i] = HistoryScale;
    }
}

void UpdateKillers(Move move, int ply) {
    if (!IsQuiet(move) || move == Killers[ply][0]) return;
    Killers[ply][1] = Killers[ply][0];
    Killers[ply][0] = move;
}

void AddHistoryHit(Move move) {
    if (!IsQuiet(move)) return;
    int i = HistoryIndex(move);
    ++HistoryGood[i];
    ++HistoryTried[i];
    HalveIfFullAndRescore(i);
}

void AddHistoryTry(Move move) {
    if (!IsQuiet(move)) return;
    int i = HistoryIndex(move);
    ++HistoryTried[i];
    HalveIfFullAndRescore(i);
}
