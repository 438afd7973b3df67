// Playing strength levels: a weaker game for people, by a smaller search and a choice among the
// best few moves that grows looser as the level falls.
#include <algorithm>
#include <cmath>

#include "movemake/hash.h"
#include "think/think.h"

namespace {

// Tuning of the levels, by rating, measured against Stockfish's own levels at 10+0.1 (see the
// README). Full strength plays near 1900 there, so the top level is the full search. Below it
// a move may search a node budget: LevelNodesAtChoiceEnd at ChoiceEndElo, halving every
// UpperHalvingElo points down to LevelNodesAtKnee at KneeElo, then every LowerHalvingElo
// points below that, where a doubling of so small a search is worth less.
// Below ChoiceEndElo the level also chooses among its best lines, weighted by
// exp(-loss / temperature), and never takes a line that loses more than the margin against
// the best; both grow from nothing at ChoiceEndElo to their widest at the lowest level.
constexpr int ChoiceEndElo = 1800, KneeElo = 1600;
constexpr double LevelNodesAtChoiceEnd = 125000, UpperHalvingElo = 200;
constexpr double LevelNodesAtKnee =
    LevelNodesAtChoiceEnd / (1 << (ChoiceEndElo - KneeElo) / int(UpperHalvingElo));
constexpr double LowerHalvingElo = 200.0 / 3;
constexpr double TemperatureAtMin = 50, MarginAtMin = 187.5;

// 1 at the lowest level, 0 from ChoiceEndElo up.
double Weakness(const SearchOptions& o) {
    return std::max(0.0, double(ChoiceEndElo - o.levelElo) / (ChoiceEndElo - LevelEloMin));
}

bool Limited(const SearchOptions& o) { return o.limitStrength && o.levelElo < LevelEloMax; }

}  // namespace

int64_t LevelNodeBudget(const SearchOptions& o) {
    if (!Limited(o)) return 0;
    if (o.levelElo >= KneeElo)
        return int64_t(LevelNodesAtChoiceEnd *
                       std::exp2((o.levelElo - ChoiceEndElo) / UpperHalvingElo));
    return int64_t(LevelNodesAtKnee * std::exp2((o.levelElo - KneeElo) / LowerHalvingElo));
}

int SearchLines(const SearchOptions& o) {
    return Limited(o) && Weakness(o) > 0 ? std::max(o.multiPv, LevelLines) : o.multiPv;
}

int ChooseLevelLine(const RootLine* lines, int count, const SearchOptions& o) {
    if (!o.limitStrength || count <= 1 || lines[0].score > MateBound) return 0;
    const double temperature = TemperatureAtMin * Weakness(o) + 1;
    const int32_t margin = int32_t(MarginAtMin * Weakness(o));
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
