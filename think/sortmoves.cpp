// Move ordering.
#include "think/sortmoves.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/think.h"

namespace {

// A quiet move's score: a killer's, else the history of its index.
int32_t QuietScore(const Ordering& order, Move m, int ply, int historyIndex) {
    if (m == order.killers[ply][0]) return Killer1Score;
    if (m == order.killers[ply][1]) return Killer2Score;
    return order.historyScores[historyIndex];
}

// A capture's or promotion's score, `moved` the piece that makes it: most valuable victim
// first, then least valuable attacker, then the promotion piece. The part of the victim and
// the promotion is read from a table by the move's two upper bytes.
struct TacticalBaseTable {
    int32_t score[64];  // [captured * 8 + promotion]
};
constexpr TacticalBaseTable MakeTacticalBases() {
    TacticalBaseTable table{};
    for (int captured = 0; captured < 8; ++captured)
        for (int promotion = 0; promotion < 8; ++promotion)
            table.score[captured * 8 + promotion] =
                CaptureBaseScore + 10 * (7 - captured) - 7 - promotion;
    return table;
}
constexpr TacticalBaseTable TacticalBases = MakeTacticalBases();
inline int32_t TacticalScore(Move m, Piece moved) {
    return TacticalBases.score[(CapturedOf(m) & 7) * 8 + (PromotionOf(m) & 7)] + TypeOf(moved);
}

// A stage of the hash move and the tactical moves this short is sorted when it is scored.
constexpr int SortedAtOnce = 8;

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
inline void SetSlot(Ordering& order, int ply, int k, int64_t key) {
    order.score[ply][k] = int32_t(key >> 32);
    order.order[ply][k] = MaxMovesPerPly - int32_t(uint32_t(key));
}

// Scores the waiting quiet moves of `ply`: killers first, then by history.
void ScoreQuiets(Worker& w, int ply) {
    Ordering& order = w.order;
    order.quietsWaiting[ply >> 6] &= ~(1ull << (ply & 63));
    int64_t* keys = order.sortKeys[ply];
    const int first = order.tacticalEnd[ply] + 1;
    int best = first;
    const Piece* board = order.boards[ply];
    const Move* moves = w.pos.moves[ply];
    const int last = order.quietEnd[ply];
    for (int j = first; j <= last; ++j) {
        const int k = int(keys[j]);
        const Move m = moves[k];
        const int historyIndex = ToOf(m) * 12 + PieceIndex(board[FromOf(m)]);
        keys[j] = SortKey(QuietScore(order, m, ply, historyIndex), k);
        if (keys[j] > keys[best]) best = j;
    }
    order.bestQuietPosition[ply] = best;
}

// Scores every waiting list, before the history changes.
void ScoreWaitingQuiets(Worker& w) {
    uint64_t* waiting = w.order.quietsWaiting;
    for (int word = 0; word < 2; ++word)
        while (waiting[word]) ScoreQuiets(w, word * 64 + __builtin_ctzll(waiting[word]));
}

// Halves both counters of a full index, then refreshes its cached score.
void HalveIfFullAndRescore(Ordering& order, int i) {
    if (order.historyTried[i] >= HistoryScale) {
        order.historyGood[i] = (order.historyGood[i] + 1) / 2;
        order.historyTried[i] = (order.historyTried[i] + 1) / 2;
    }
    order.historyScores[i] = order.historyGood[i] * HistoryScale / order.historyTried[i];
}

}  // namespace

int32_t MoveScore(const Worker& w, Move m, int ply, Move hashMove) {
    if (m == hashMove) return HashMoveScore;
    if (IsTactical(m)) return TacticalScore(m, w.pos.board[FromOf(m)]);
    return QuietScore(w.order, m, ply, HistoryIndex(w.pos, m));
}

int HistoryIndex(const Position& pos, Move move) {
    return ToOf(move) * 12 + PieceIndex(pos.board[FromOf(move)]);
}

void ScoreMoves(Worker& w, int ply, Move hashMove) {
    Ordering& order = w.order;
    const int n = w.pos.ply[ply].moveCount;
    const Move* moves = w.pos.moves[ply];
    const Piece* board = w.pos.board;
    int64_t* keys = order.sortKeys[ply];
    int front = 0, back = n + 1;
    auto split = [&](auto isHashMove) {
    // Four moves a turn: most of the loop's cost is its own control.
#pragma GCC unroll 4
        for (int k = 1; k <= n; ++k) {
            const Move m = moves[k];
            if (isHashMove(m))
                keys[++front] = SortKey(HashMoveScore, k);
            else if (IsTactical(m))
                keys[++front] = SortKey(TacticalScore(m, board[FromOf(m)]), k);
            else
                keys[--back] = k;
        }
    };
    // Most lists have no hash move to look for.
    if (hashMove == NoMove)
        split([](Move) { return false; });
    else
        split([hashMove](Move m) { return m == hashMove; });
    order.tacticalEnd[ply] = front;
    order.quietEnd[ply] = n;
    order.finalSlots[ply] = 0;
    if (front < n) {
        order.quietsWaiting[ply >> 6] |= 1ull << (ply & 63);
        std::memcpy(order.boards[ply], board, sizeof order.boards[ply]);
    }
    // Few tactical moves, as most lists have, are sorted at once: the picks then find them
    // in place. A longer stage is picked by selection.
    if (front > 0 && front <= SortedAtOnce) {
        SortDescending(keys + 1, keys + front + 1);
        for (int j = 1; j <= front; ++j) SetSlot(order, ply, j, keys[j]);
        order.finalSlots[ply] = front;
    } else if (front > 0) {
        int best = 1;
        for (int j = 2; j <= front; ++j)
            if (keys[j] > keys[best]) best = j;
        std::swap(keys[1], keys[best]);
        SetSlot(order, ply, 1, keys[1]);
        order.finalSlots[ply] = 1;
    }
}

void PickMoveSlow(Worker& w, int ply, int k) {
    Ordering& order = w.order;
    int64_t* keys = order.sortKeys[ply];
    // The stage that slot k falls in; slot 1 of the tactical stage was picked by ScoreMoves.
    int first = 1, last = order.tacticalEnd[ply];
    if (k > last) {
        if (order.quietsWaiting[ply >> 6] & (1ull << (ply & 63))) ScoreQuiets(w, ply);
        first = last + 1;
        last = order.quietEnd[ply];
    }
    // A stage's first slot takes its best key, found while scoring; a node that wants a second
    // move mostly wants many, so the rest of the stage is then sorted at once.
    if (k > first) {
        SortDescending(keys + k, keys + last + 1);
        for (int j = k; j <= last; ++j) SetSlot(order, ply, j, keys[j]);
        order.finalSlots[ply] = last;
        return;
    }
    std::swap(keys[k], keys[order.bestQuietPosition[ply]]);
    SetSlot(order, ply, k, keys[k]);
    order.finalSlots[ply] = k;
}

void SortRootMoves(Worker& w) {
    const int n = w.pos.ply[0].moveCount;
    int32_t* rootScore = w.order.rootScore;
    int32_t* rootOrder = w.order.rootOrder;
    for (int i = 1; i < n; ++i)
        for (int j = i + 1; j <= n; ++j)
            if (rootScore[i] < rootScore[j]) {
                std::swap(rootScore[i], rootScore[j]);
                std::swap(rootOrder[i], rootOrder[j]);
            }
}

void ClearOrdering(Ordering& order) {
    order.quietsWaiting[0] = order.quietsWaiting[1] = 0;
    for (auto& pair : order.killers) pair[0] = pair[1] = NoMove;
    for (int i = 0; i < HistorySize; ++i) {
        order.historyGood[i] = order.historyTried[i] = 1;
        order.historyScores[i] = HistoryScale;
    }
}

void UpdateKillers(Ordering& order, Move move, int ply) {
    if (!IsQuiet(move) || move == order.killers[ply][0]) return;
    order.killers[ply][1] = order.killers[ply][0];
    order.killers[ply][0] = move;
}

void AddHistoryHit(Worker& w, Move move) {
    if (!IsQuiet(move)) return;
    ScoreWaitingQuiets(w);
    const int i = HistoryIndex(w.pos, move);
    ++w.order.historyGood[i];
    ++w.order.historyTried[i];
    HalveIfFullAndRescore(w.order, i);
}

void AddHistoryTry(Worker& w, Move move) {
    if (!IsQuiet(move)) return;
    ScoreWaitingQuiets(w);
    const int i = HistoryIndex(w.pos, move);
    ++w.order.historyTried[i];
    HalveIfFullAndRescore(w.order, i);
}
