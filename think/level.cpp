// Playing strength levels: a weaker game for people, by a smaller search and a choice among the
// best few moves that grows looser as the level falls.
#include <algorithm>
#include <cmath>

#include "movemake/hash.h"
#include "think/think.h"

bool LimitStrength = false;
int LevelElo = LevelEloDefault;

namespace {

// Tuning of the levels, by rating: the nodes a move may search double every NodeDoublingElo
// points from LevelNodesAtMin at the lowest level; the choice among the lines is weighted by
// exp(-loss / temperature), and no line that loses more than the margin against the best is
// ever taken. Both shrink to nothing at the top level, where a queen is never given away.
constexpr double LevelNodesAtMin = 400;
constexpr double NodeDoublingElo = 170;
constexpr double TemperatureAtMin = 120, MarginAtMin = 350;

// 1 at the lowest level, 0 at the highest.
double Weakness() { return double(LevelEloMax - LevelElo) / (LevelEloMax - LevelEloMin); }

}  // namespace

int64_t LevelNodeBudget() {
    if (!LimitStrength) return 0;
    return int64_t(LevelNodesAtMin * std::exp2((LevelElo - LevelEloMin) / NodeDoublingElo));
}

int SearchLines() { return LimitStrength ? std::max(MultiPv, LevelLines) : MultiPv; }

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
