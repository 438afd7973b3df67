// The engine's UCI options.
#include "uci/options.h"

#include <algorithm>

#include "movemake/hash.h"
#include "uci/uci.h"
#include "uci/util.h"

namespace {

void HashChanged(int32_t megabytes) {
    HashSizeMB = megabytes;
    AllocateSearchTables(EngineSearch());  // empties the tables
}

void ClearHashPressed(int32_t) { ClearSearchTables(EngineSearch()); }

void ThreadsChanged(int32_t count) { SetThreadCount(EngineSearch(), count); }

}  // namespace

// clang-format off
Option Options[OptionCount] = {
    {"Hash", OptionType::Spin, HashDefaultMB, HashMinMB, HashMaxMB,
     "megabytes for the transposition table and one thread's pawn table together; changing it "
     "empties them",
     HashChanged, HashDefaultMB},
    {"Clear Hash", OptionType::Button, 0, 0, 0,
     "empties the transposition table and every pawn table",
     ClearHashPressed, 0},
    {"Threads", OptionType::Spin, 1, 1, MaxThreads,
     "search threads; values outside the range are clamped",
     ThreadsChanged, 1},
    {"Ponder", OptionType::Check, 0, 0, 1,
     "`bestmove` also names the reply the engine expects, for a GUI that ponders",
     nullptr, 0},
    {"MultiPV", OptionType::Spin, 1, 1, MaxMultiPv,
     "the lines searched and shown: each iteration ends with one `info ... multipv I ...` line "
     "per move, best first",
     nullptr, 1},
    {"Move Overhead", OptionType::Spin, MoveOverheadDefaultMs, 0, MoveOverheadMaxMs,
     "milliseconds kept back from each move's planned time for the GUI and the pipes; 30 to 100 "
     "suits bullet on a local machine",
     nullptr, MoveOverheadDefaultMs},
    {"UCI_LimitStrength", OptionType::Check, 0, 0, 1,
     "play at the rating `UCI_Elo`",
     nullptr, 0},
    {"UCI_Elo", OptionType::Spin, LevelEloDefault, LevelEloMin, LevelEloMax,
     "the rating played at while `UCI_LimitStrength` is on; 2000 is the full search",
     nullptr, LevelEloDefault},
    {"UCI_Chess960", OptionType::Check, 0, 0, 1,
     "Chess960: `position` reads the castling field as X-FEN or Shredder-FEN, and castling is "
     "written and read as the king taking its own rook (`e1h1`)",
     nullptr, 0},
};
// clang-format on

bool IsOffered(const Option& option) {
    return option.type != OptionType::Spin || option.min < option.max;
}

std::string OptionLine(const Option& option) {
    std::string line = "option name " + std::string(option.name) + " type ";
    switch (option.type) {
        case OptionType::Spin:
            return line + "spin default " + std::to_string(option.defaultValue) + " min " +
                   std::to_string(option.min) + " max " + std::to_string(option.max);
        case OptionType::Check:
            return line + "check default " + (option.defaultValue ? "true" : "false");
        case OptionType::Button:
            break;
    }
    return line + "button";
}

std::string OptionsTable() {
    std::string table =
        "| option | type | default | range | meaning |\n"
        "|---|---|---|---|---|\n";
    for (const Option& o : Options) {
        if (!IsOffered(o)) continue;
        std::string type = "button", value, range;
        if (o.type == OptionType::Spin) {
            type = "spin";
            value = std::to_string(o.defaultValue);
            range = std::to_string(o.min) + " to " + std::to_string(o.max);
        } else if (o.type == OptionType::Check) {
            type = "check";
            value = o.defaultValue ? "true" : "false";
        }
        table += "|";
        for (const std::string& cell :
             {"`" + std::string(o.name) + "`", type, value, range, std::string(o.meaning)})
            table += cell.empty() ? " |" : " " + cell + " |";
        table += "\n";
    }
    return table;
}

SetOptionResult SetOption(const std::string& name, const std::string& value) {
    const std::string wanted = ToUpper(name);
    for (Option& o : Options) {
        if (!IsOffered(o) || ToUpper(o.name) != wanted) continue;
        int32_t v = 0;
        if (o.type == OptionType::Spin) {
            if (!ConvertInt(value.substr(0, value.find(' ')), v)) return SetOptionResult::NotNumber;
            v = std::clamp(v, o.min, o.max);
        } else if (o.type == OptionType::Check) {
            v = ToUpper(value) == "TRUE";
        }
        o.value = v;
        if (o.changed) o.changed(v);
        return SetOptionResult::Done;
    }
    return SetOptionResult::Unknown;
}

SearchOptions CurrentSearchOptions() {
    SearchOptions o;
    o.multiPv = Options[MultiPvOption].value;
    o.ponder = Options[PonderOption].value != 0;
    o.limitStrength = Options[LimitStrengthOption].value != 0;
    o.levelElo = Options[EloOption].value;
    o.moveOverheadMs = Options[MoveOverheadOption].value;
    return o;
}
