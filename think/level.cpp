// Playing strength levels: a weaker game for people, by a smaller search and a choice among the
// best few moves that grows looser as the level falls.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "movemake/hash.h"
#include "think/think.h"

namespace {

// Tuning of the levels, by rating, measured against Stockfish's own levels at 10+0.1 (see the
// README). Below the top level, which is the full search, a move may search a node budget,
// read off this table between its ratings on a logarithmic scale: each row is a rating and
// the nodes that play at it. Below 1400, where the table's first step lies, the ratings are
// extrapolated, not measured.
struct LevelAnchor {
    int elo;
    double nodes;
};
constexpr LevelAnchor LevelNodes[] = {
    {LevelEloMin, 15.26}, {1400, 7812.5}, {1600, 31250}, {1800, 62500}, {2000, 125000},
};
// Below ChoiceEndElo the level also chooses among its best lines, weighted by
// exp(-loss / temperature), and never takes a line that loses more than the margin against
// the best; both grow from nothing at ChoiceEndElo to their widest at the lowest level.
constexpr int ChoiceEndElo = 1800;
constexpr double TemperatureAtMin = 50, MarginAtMin = 187.5;

// 1 at the lowest level, 0 from ChoiceEndElo up.
double Weakness(const SearchOptions& o) {
    return std::max(0.0, double(ChoiceEndElo - o.levelElo) / (ChoiceEndElo - LevelEloMin));
}

bool Limited(const SearchOptions& o) { return o.limitStrength && o.levelElo < LevelEloMax; }

}  // namespace

int64_t LevelNodeBudget(const SearchOptions& o) {
    if (!Limited(o)) return 0;
    size_t i = 1;
    while (i + 1 < std::size(LevelNodes) && o.levelElo > LevelNodes[i].elo) ++i;
    const LevelAnchor& low = LevelNodes[i - 1];
    const LevelAnchor& high = LevelNodes[i];
    const double share = double(o.levelElo - low.elo) / (high.elo - low.elo);
    return int64_t(low.nodes * std::pow(high.nodes / low.nodes, share));
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
