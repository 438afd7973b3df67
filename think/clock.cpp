// The search clock and limits.
#include <algorithm>
#include <chrono>
#include <string>

#include "think/think.h"

Limits SearchLimits;

static std::chrono::steady_clock::time_point SearchStart;

void ClearLimits() {
    uint8_t ponder = SearchLimits.ponder;
    SearchLimits = Limits{};
    SearchLimits.ponder = ponder;
}

void StartClock() { SearchStart = std::chrono::steady_clock::now(); }

int32_t ElapsedMs() {
    auto elapsed = std::chrono::steady_clock::now() - SearchStart;
    return int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

#include "uci/util.h"

int32_t TimeLimit;
int32_t SoftTime;

bool ListensToInput;

void SetTimeBudget() {
    const Limits& l = SearchLimits;
    const int side = Game.ply[0].side;
    TimeLimit = -1;
    const int32_t mtg = l.movestogo ? l.movestogo : 30;
    const int32_t mytime = side == 0 ? l.wtime : l.btime;
    const int32_t myinc = side == 0 ? l.winc : l.binc;
    if (l.movetime != 0) {
        // 300 ms of margin, but never less than half of the time: a longer movetime never
        // gives a shorter limit.
        TimeLimit = std::max({l.movetime - MoveTimeMarginMs, l.movetime / 2, 1});
    }
    if (mytime > 0) {
        const int64_t total = int64_t(mytime) + int64_t(mtg - 1) * myinc;
        int64_t soft = total / mtg - 500;
        if (soft > mytime) soft = mytime;
        int64_t hard = total / 3 - 500;
        if (hard < soft) hard = soft;
        if (hard > mytime) hard = mytime;
        // Little time left: the formula leaves no positive limit, so take a tenth of what
        // remains, at least 1 ms.
        if (hard <= 0) hard = mytime / 10 > 1 ? mytime / 10 : 1;
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
    // Without a depth, a movetime or the mover's clock only the controller can end the search.
    ListensToInput = l.depth == 0 && TimeLimit <= 0;
}

void ListenToInput() {
    std::string line, word;
    InputState state;
    while (!StopFlag && (state = ReadLineNow(line)) == InputState::Line) {
        std::string_view rest = line;
        SplitToken(rest, ' ', word);
        word = ToUpper(word);
        if (word == "STOP") {
            StopFlag = true;
        } else if (word == "ISREADY") {
            WriteLine("readyok");
        } else if (word == "PONDERHIT") {
            SearchLimits.ponder = 0;
        } else if (word == "QUIT") {
            StopFlag = true;
            DeferLine(line, true);  // the engine ends right after its answer
        } else {
            DeferLine(line);  // carried out after the answer, in the order it came
        }
    }
    // Nobody is left to send "stop": answer now rather than search on for ever.
    if (!StopFlag && state == InputState::Ended) StopFlag = true;
}

bool PollClockNow(Worker& w, int64_t nodes) {
    if (nodes % CheckInterval != 0) {
        if (ElapsedMs() <= TimeLimit) return false;
        StopFlag = true;
        return true;
    }
    const int32_t e = ElapsedMs();
    if (e > TimeLimit && TimeLimit > 0) {
        StopFlag = true;
        return true;
    }
    if (e != 0) {
        const int64_t total = SearchNodes();
        const int32_t nps = int32_t(double(total) / e * 1000.0);
        WriteLine("info nodes " + std::to_string(total) + " nps " + std::to_string(nps));
        w.progressShown = true;
    }
    if (ListensToInput) ListenToInput();
    return StopFlag;
}
