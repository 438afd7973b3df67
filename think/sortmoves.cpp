// Move ordering.
#include "think/sortmoves.h"

#include <algorithm>
#include <functional>

#include "movemake/hash.h"
#include "movemake/movemake.h"

Move Killers[MaxSearchPly + 1][2];
int FinalSlots[MaxSearchPly + 1];
int32_t HistoryGood[HistorySize];
int32_t HistoryTried[HistorySize];
int32_t RootOrder[MaxMovesPerPly];
int32_t RootScore[MaxMovesPerPly];

// HistoryGood * 16384 / HistoryTried, kept up to date by every update so that scoring a quiet
// move needs no division.
static int32_t HistoryScores[HistorySize];

namespace {

int HistoryIndex(Move move) { return ToOf(move) * 12 + PieceIndex(FromOf(move)); }

// A quiet move's score: a killer's, else the history of its index.
int32_t QuietScore(Move m, int ply, int historyIndex) {
    if (m == Killers[ply][0]) return Killer1Score;
    if (m == Killers[ply][1]) return Killer2Score;
    return HistoryScores[historyIndex];
}

int32_t ScoreOf(Move m, int ply) {
    if (m == Ply[ply].hashMove) return HashMoveScore;
    if (IsTactical(m))
        return CaptureBaseScore + 10 * (7 - CapturedOf(m)) - (7 - TypeOf(Board[FromOf(m)])) -
               PromotionOf(m);
    return QuietScore(m, ply, HistoryIndex(m));
}

// Slots of a stage taken by selection before the rest of the stage is sorted at once.
constexpr int SelectedSlots = 3;

// Per ply and list position: the score in the high half and the position, counted down, in
// the low half. The keys are unique, and ordering them by value is exactly the stable sort
// by descending score, so any sorting method gives the one same order.
int64_t SortKeys[MaxSearchPly + 1][MoveListStride];

// Every tactical move and the hash move outscore every other move, so a list is ordered in two
// stages: keys 1..TacticalEnd hold the hash move and the tactical moves, scored at once; the
// keys after them hold the quiet moves, scored only when the order reaches them, since most
// nodes cut off before. Until then a quiet key holds its history index in the high half and
// its list position in the low half.
int TacticalEnd[MaxSearchPly + 1];
int QuietEnd[MaxSearchPly + 1];
// Per ply: the key position of each stage's best key, found while scoring.
int BestPosition[MaxSearchPly + 1];
int BestQuietPosition[MaxSearchPly + 1];

// A bit per ply whose quiet moves still wait for their scores. A quiet move is scored with the
// history as it stood when its list was scored, so every history update first scores the
// waiting lists. A bit may outlive its node; scoring its dead list then does no harm.
uint64_t QuietsWaiting[2];

inline int64_t SortKey(int32_t score, int k) {
    return int64_t(uint64_t(int64_t(score)) << 32) | uint32_t(MaxMovesPerPly - k);
}

// Sorts keys by descending value: by insertion when there are few, as in most lists that get
// this far.
void SortDescending(int64_t* begin, int64_t* end) {
    if (end - begin > 24) {
        std::sort(begin, end, std::greater<int64_t>());
        return;
    }
    for (int64_t* i = begin + 1; i < end; ++i) {
        const int64_t key = *i;
        int64_t* j = i;
        for (; j > begin && j[-1] < key; --j) *j = j[-1];
        *j = key;
    }
}

// Writes order slot k from a sort key.
inline void SetSlot(int ply, int k, int64_t key) {
    ScoreTable[ply][k] = int32_t(key >> 32);
    OrderTable[ply][k] = MaxMovesPerPly - int32_t(uint32_t(key));
}

// Scores the waiting quiet moves of `ply`: killers first, then by history.
void ScoreQuiets(int ply) {
    QuietsWaiting[ply >> 6] &= ~(1ull << (ply & 63));
    int64_t* keys = SortKeys[ply];
    const int first = TacticalEnd[ply] + 1;
    int best = first;
    for (int j = first; j <= QuietEnd[ply]; ++j) {
        const int k = int(uint32_t(keys[j]));
        keys[j] = SortKey(QuietScore(MoveTable[ply][k], ply, int(keys[j] >> 32)), k);
        if (keys[j] > keys[best]) best = j;
    }
    BestQuietPosition[ply] = best;
}

// Scores every waiting list, before the history changes.
void ScoreWaitingQuiets() {
    for (int word = 0; word < 2; ++word)
        while (QuietsWaiting[word]) ScoreQuiets(word * 64 + __builtin_ctzll(QuietsWaiting[word]));
}

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
    const Move hashMove = Ply[ply].hashMove;
    int64_t* keys = SortKeys[ply];
    int front = 0, back = n + 1, best = 1;
    for (int k = 1; k <= n; ++k) {
        const Move m = MoveTable[ply][k];
        if (m == hashMove || IsTactical(m)) {
            keys[++front] = SortKey(ScoreOf(m, ply), k);
            if (keys[front] > keys[best] || front == 1) best = front;
        } else {
            keys[--back] = int64_t(HistoryIndex(m)) << 32 | k;
        }
    }
    TacticalEnd[ply] = front;
    QuietEnd[ply] = n;
    BestPosition[ply] = best;
    FinalSlots[ply] = 0;
    if (front < n) QuietsWaiting[ply >> 6] |= 1ull << (ply & 63);
}

void PickMoveSlow(int ply, int k) {
    int64_t* keys = SortKeys[ply];
    // The stage that slot k falls in.
    int first = 1, last = TacticalEnd[ply], best = BestPosition[ply];
    if (k > last) {
        if (QuietsWaiting[ply >> 6] & (1ull << (ply & 63))) ScoreQuiets(ply);
        first = last + 1;
        last = QuietEnd[ply];
        best = BestQuietPosition[ply];
    }
    if (k - first >= SelectedSlots) {
        SortDescending(keys + k, keys + last + 1);
        for (int j = k; j <= last; ++j) SetSlot(ply, j, keys[j]);
        FinalSlots[ply] = last;
        return;
    }
    if (k > first) {
        int64_t bestKey = keys[k];
        best = k;
        for (int j = k + 1; j <= last; ++j) {
            const bool higher = keys[j] > bestKey;
            bestKey = higher ? keys[j] : bestKey;
            best = higher ? j : best;
        }
    }
    std::swap(keys[k], keys[best]);
    SetSlot(ply, k, keys[k]);
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
    QuietsWaiting[0] = QuietsWaiting[1] = 0;
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
    ScoreWaitingQuiets();
    int i = HistoryIndex(move);
    ++HistoryGood[i];
    ++HistoryTried[i];
    HalveIfFullAndRescore(i);
}

void AddHistoryTry(Move move) {
    if (!IsQuiet(move)) return;
    ScoreWaitingQuiets();
    int i = HistoryIndex(move);
    ++HistoryTried[i];
    HalveIfFullAndRescore(i);
}
