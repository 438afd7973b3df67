// The search clock and limits.
#include <algorithm>
#include <chrono>
#include <string>

#include "think/think.h"

Limits SearchLimits;

static std::chrono::steady_clock::time_point SearchStart;

void ClearLimits() { SearchLimits = Limits{}; }

void StartClock() { SearchStart = std::chrono::steady_clock::now(); }

int32_t ElapsedMs() {
    auto elapsed = std::chrono::steady_clock::now() - SearchStart;
    return int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

#include "uci/util.h"

int32_t TimeLimit;
int32_t SoftTime;
int32_t BudgetStartMs;
int64_t NodeLimit;
int32_t MoveOverheadMs = MoveOverheadDefaultMs;
bool ListensToInput;
bool ClockWatch;
bool StopCommanded;

// The budget of a pondering search, held back until "ponderhit" starts its clock.
static int32_t PonderTimeLimit, PonderSoftTime;

void SetTimeBudget() {
    const Limits& l = SearchLimits;
    const int side = Game.ply[0].side;
    TimeLimit = -1;
    BudgetStartMs = 0;
    NodeLimit = l.nodes > 0 ? l.nodes : 0;
    if (LevelNodeBudget() != 0 && (NodeLimit == 0 || NodeLimit > LevelNodeBudget()))
        NodeLimit = LevelNodeBudget();
    const int32_t mtg = l.movestogo ? l.movestogo : MovesToGoDefault;
    const int32_t mytime = side == 0 ? l.wtime : l.btime;
    const int32_t myinc = side == 0 ? l.winc : l.binc;
    if (l.movetime != 0) {
        // 300 ms of margin, but never less than half of the time: a longer movetime never
        // gives a shorter limit.
        TimeLimit = std::max({l.movetime - MoveTimeMarginMs, l.movetime / 2, 1});
    }
    if (mytime > 0) {
        // The target is a share of what is left until the time control, the hard limit a
        // third of it; each keeps the move overhead back for the controller and the pipes.
        const int64_t total = int64_t(mytime) + int64_t(mtg - 1) * myinc;
        int64_t soft = total / mtg - MoveOverheadMs;
        if (soft > mytime) soft = mytime;
        int64_t hard = total / HardLimitShare - MoveOverheadMs;
        if (hard < soft) hard = soft;
        if (hard > mytime) hard = mytime;
        // Little time left: the formula leaves no positive limit, so take a tenth of what
        // remains, at least 1 ms.
        if (hard <= 0) hard = mytime / LastResortShare > 1 ? mytime / LastResortShare : 1;
        // An increment arrives only after the move: the answer must leave the clock before
        // the flag falls, with room for the pipes and the controller.
        const int64_t margin = std::max<int64_t>(ClockMarginMs, mytime / ClockMarginShare);
        const int64_t ceiling = std::max<int64_t>(mytime - margin, 1);
        TimeLimit = int32_t(std::min(hard, ceiling));
        SoftTime = int32_t(std::min(soft, ceiling));
    } else {
        SoftTime = mytime;
        // The clock has run out: answer at once.
        if (l.clockGiven[side]) TimeLimit = 1;
    }
    // A pondering search is open-ended until "ponderhit" gives it its clock.
    if (l.ponder) {
        PonderTimeLimit = TimeLimit;
        PonderSoftTime = SoftTime;
        TimeLimit = -1;
    }
    // Without a depth, a movetime or the mover's clock only the controller can end the search.
    ListensToInput = l.depth == 0 && TimeLimit <= 0;
    // A pondering search listens closely, so that the clock after "ponderhit" loses nothing.
    ClockWatch = TimeLimit > 0 || NodeLimit > 0 || l.ponder;
}

// "ponderhit": the opponent played the expected move, so the search goes on as an ordinary
// one, under the clock of its "go", counted from now.
static void PonderHit() {
    if (!SearchLimits.ponder) return;
    SearchLimits.ponder = 0;
    TimeLimit = PonderTimeLimit;
    SoftTime = PonderSoftTime;
    BudgetStartMs = ElapsedMs();
    ListensToInput = SearchLimits.depth == 0 && TimeLimit <= 0;
    ClockWatch = TimeLimit > 0 || NodeLimit > 0;
}

void ListenToInput(bool untilStop) {
    std::string line, word;
    InputState state;
    while (!StopFlag &&
           (state = untilStop ? ReadLineWaiting(line) : ReadLineNow(line)) == InputState::Line) {
        std::string_view rest = line;
        SplitToken(rest, ' ', word);
        word = ToUpper(word);
        if (word == "STOP") {
            StopCommanded = true;
            StopFlag = true;
        } else if (word == "ISREADY") {
            WriteLine("readyok");
        } else if (word == "PONDERHIT") {
            // A search that already ended by itself while pondering answers at once.
            if (untilStop && SearchLimits.ponder) StopFlag = true;
            PonderHit();
        } else if (word == "QUIT") {
            StopCommanded = true;
            StopFlag = true;
            DeferLine(line, true);  // the engine ends right after its answer
        } else {
            DeferLine(line);  // carried out after the answer, in the order it came
        }
    }
    // Nobody is left to send "stop": answer now rather than search on for ever.
    if (!StopFlag && state == InputState::Ended) {
        StopCommanded = true;
        StopFlag = true;
    }
}

bool PollClockNow(Worker& w, int64_t nodes) {
    if (nodes % CheckInterval != 0) {
        const bool late = TimeLimit > 0 && ElapsedMs() - BudgetStartMs > TimeLimit;
        if (late || (NodeLimit != 0 && SearchNodes() >= NodeLimit)) {
            StopFlag = true;
            return true;
        }
        if (!SearchLimits.ponder) return false;
        ListenToInput(false);
        return StopFlag;
    }
    const int32_t e = ElapsedMs();
    if ((e - BudgetStartMs > TimeLimit && TimeLimit > 0) ||
        (NodeLimit != 0 && SearchNodes() >= NodeLimit)) {
        StopFlag = true;
        return true;
    }
    if (e != 0) {
        const int64_t total = SearchNodes();
        WriteLine("info nodes " + std::to_string(total) + " time " + std::to_string(e) + " nps " +
                  std::to_string(NodesPerSecond(total, e)));
        w.progressShown = true;
    }
    if (ListensToInput) ListenToInput(false);
    return StopFlag;
}

int64_t NodesPerSecond(int64_t nodes, int32_t ms) {
    return ms > 0 ? int64_t(double(nodes) / ms * 1000.0) : 0;
}
