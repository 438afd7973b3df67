// Playing strength levels: a weaker game for people, by a smaller search and a choice among the
// best few moves that grows looser as the level falls.
#include <algorithm>
#include <cmath>

#include "movemake/hash.h"
#include "think/think.h"

bool LimitStrength = false;
int LevelElo = LevelEloDefault;

namespace {

// Tuning of the levels, by rating, measured against Stockfish's own levels at 10+0.1 (see the
// README): full strength plays near 1800 there, so the top level is the full search, and
// every NodeHalvingElo points below it halve the nodes a move may search from LevelNodesAtTop.
// The choice among the lines is weighted by exp(-loss / temperature), and no line that loses
// more than the margin against the best is ever taken; both shrink to nothing at the top.
constexpr double LevelNodesAtTop = 500000;
constexpr double NodeHalvingElo = 200.0 / 3;
constexpr double TemperatureAtMin = 50, MarginAtMin = 187.5;

// 1 at the lowest level, 0 at the highest.
double Weakness() { return double(LevelEloMax - LevelElo) / (LevelEloMax - LevelEloMin); }

}  // namespace

int64_t LevelNodeBudget() {
    if (!LimitStrength || LevelElo >= LevelEloMax) return 0;
    return int64_t(LevelNodesAtTop * std::exp2((LevelElo - LevelEloMax) / NodeHalvingElo));
}

int SearchLines() {
    return LimitStrength && LevelElo < LevelEloMax ? std::max(MultiPv, LevelLines) : MultiPv;
}

int ChooseLevelLine(const RootLine* lines, int count) {
    if (!LimitStrength || count <= 1 || lines[0].score > MateBound) return 0;
    const double temperature = TemperatureAtMin * Weakness() + 1;
    const int32_t margin = int32_t(MarginAtMin * Weakness());
    double weights[MaxMultiPv], total = 0;
    int candidates = 0;
    for (int i = 0; i < count && i < LevelLines; ++i) {
        const int32_t loss = lines[0].score - lines[i].score;
        if (loss > margin || lines[i].score < -MateBound) break;
        weights[candidates] = std::exp(-loss / temperature);
        total += weights[candidates++];
    }
    // A draw from the engine's generator, which the engine seeds from the clock.
    double pick = total * RandomDraw(1u << 30) / double(1u << 30);
    for (int i = 0; i < candidates; ++i)
        if ((pick -= weights[i]) < 0) return i;
    return 0;
}
