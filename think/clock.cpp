// The search clock and the time budget.
#include <algorithm>
#include <string>

#include "think/think.h"
#include "uci/util.h"

int32_t ElapsedMs(const Search& s) {
    auto elapsed = std::chrono::steady_clock::now() - s.started;
    return int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void SetTimeBudget(Search& s) {
    const Limits& l = s.limits;
    const int side = s.root.side;
    s.timeLimit = -1;
    s.softTime = 0;
    s.budgetStartMs = 0;
    s.nodeLimit = l.nodes > 0 ? l.nodes : 0;
    const int64_t levelBudget = LevelNodeBudget(s.options);
    if (levelBudget != 0 && (s.nodeLimit == 0 || s.nodeLimit > levelBudget))
        s.nodeLimit = levelBudget;
    const int32_t mtg = l.movestogo ? l.movestogo : MovesToGoDefault;
    const int32_t mytime = side == 0 ? l.wtime : l.btime;
    const int32_t myinc = side == 0 ? l.winc : l.binc;
    if (l.movetime != 0) {
        // 300 ms of margin, but never less than half of the time: a longer movetime never
        // gives a shorter limit.
        s.timeLimit = std::max({l.movetime - MoveTimeMarginMs, l.movetime / 2, 1});
    }
    if (mytime > 0) {
        // The target is a share of what is left until the time control, the hard limit a
        // third of it; each keeps the move overhead back for the controller and the pipes.
        const int32_t overhead = s.options.moveOverheadMs;
        const int64_t total = int64_t(mytime) + int64_t(mtg - 1) * myinc;
        int64_t soft = total / mtg - overhead;
        if (soft > mytime) soft = mytime;
        int64_t hard = total / HardLimitShare - overhead;
        if (hard < soft) hard = soft;
        if (hard > mytime) hard = mytime;
        // Little time left: the formula leaves no positive limit, so take a tenth of what
        // remains, at least 1 ms.
        if (hard <= 0) hard = mytime / LastResortShare > 1 ? mytime / LastResortShare : 1;
        // An increment arrives only after the move: the answer must leave the clock before
        // the flag falls, with room for the pipes and the controller.
        const int64_t margin = std::max<int64_t>(ClockMarginMs, mytime / ClockMarginShare);
        const int64_t ceiling = std::max<int64_t>(mytime - margin, 1);
        s.timeLimit = int32_t(std::min(hard, ceiling));
        s.softTime = int32_t(std::min(soft, ceiling));
    } else {
        s.softTime = mytime;
        // The clock has run out: answer at once.
        if (l.clockGiven[side]) s.timeLimit = 1;
    }
    s.ownLimit = l.depth != 0 || s.timeLimit > 0;
    // A pondering search is open-ended until "ponderhit" gives it its clock.
    s.pondering = l.ponder;
    if (s.pondering) {
        s.ponderTimeLimit = s.timeLimit;
        s.ponderSoftTime = s.softTime;
        s.timeLimit = -1;
    }
    // A pondering search watches closely, so that the clock after "ponderhit" loses nothing.
    s.clockWatch = s.timeLimit > 0 || s.nodeLimit > 0 || s.pondering;
}

bool SoftRuleEnds(const Search& s, int depth, int32_t elapsed, int legalMoves) {
    if (depth < SoftRuleMinDepth) return false;
    if (legalMoves == 1) return true;
    return s.timeLimit > 0 && s.softTime != 0 && elapsed > s.softTime / 2.0;
}

bool SearchIsOpenEnded(const Search& s) {
    const bool pondering = s.limits.ponder && s.ponderhitMs.load() < 0;
    return s.limits.infinite || pondering || !s.ownLimit;
}

// "ponderhit" has come: the search goes on as an ordinary one, under the clock of its "go",
// counted from the "ponderhit".
static void TakePonderHit(Search& s, int32_t at) {
    s.pondering = false;
    s.timeLimit = s.ponderTimeLimit;
    s.softTime = s.ponderSoftTime;
    s.budgetStartMs = at;
    s.clockWatch = s.timeLimit > 0 || s.nodeLimit > 0;
}

bool PollClockNow(Worker& w, int64_t nodes) {
    Search& s = *w.search;
    if (s.pondering) {
        const int32_t at = s.ponderhitMs.load(std::memory_order_relaxed);
        if (at >= 0) TakePonderHit(s, at);
    }
    const int32_t e = ElapsedMs(s);
    if ((s.timeLimit > 0 && e - s.budgetStartMs > s.timeLimit) ||
        (s.nodeLimit != 0 && SearchNodes(s) >= s.nodeLimit)) {
        s.stop = true;
        return true;
    }
    if (nodes % CheckInterval == 0 && e != 0) {
        const int64_t total = SearchNodes(s);
        WriteLine("info nodes " + std::to_string(total) + " time " + std::to_string(e) + " nps " +
                  std::to_string(NodesPerSecond(total, e)));
        w.progressShown = true;
    }
    return Stopped(w);
}

bool HelperReachedNodeLimit(Worker& w) {
    Search& s = *w.search;
    if (SearchNodes(s) >= s.nodeLimit) s.stop = true;
    return Stopped(w);
}

int64_t NodesPerSecond(int64_t nodes, int32_t ms) {
    return ms > 0 ? int64_t(double(nodes) / ms * 1000.0) : 0;
}
