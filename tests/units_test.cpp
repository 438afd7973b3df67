// Unit cases, each kept because it is the only test that catches some fault: worked values
// and rules that perft, the bench signature and the playout properties cannot see.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "board/fen.h"
#include "eval/eval.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "tests/support.h"
#include "think/sortmoves.h"
#include "think/think.h"
#include "uci/options.h"
#include "uci/tests.h"
#include "uci/uci.h"
#include "uci/util.h"

namespace {

struct FenCase {
    const char* fen;
    uint8_t side, castling;
    Square epSquare;
    int32_t whiteMaterial;
};

// Lenient reading: odd texts never leave the board, and each field means what it says.
TEST(Fen, FieldsAndOddTexts) {
    for (const FenCase& c : {
             FenCase{StartFen, 0, 15, NoSquare, 4800},
             FenCase{"4k3/8/8/8/3pP3/8/8/4K3 b - E3", 1, 0, 0x24, 100},
             FenCase{"4k3/8/8/2Pp4/8/8/8/4K3 w - d6", 0, 0, 0x53, 100},
             FenCase{"4k3/8/8/8/8/8/8/4K3 b - e3", 1, 0, NoSquare, 0},         // no pawn passed
             FenCase{"4k3/8/8/8/3pP3/8/8/4K3 w - e3", 0, 0, NoSquare, 100},    // wrong side
             FenCase{"4k3/8/8/8/3pP3/4N3/8/4K3 b - e3", 1, 0, NoSquare, 500},  // occupied
             FenCase{"4k3/8/8/8/3pP3/8/8/4K3 b - e", 1, 0, NoSquare, 100},
             FenCase{"r3k2r/8/8/8/8/8/8/R3K2R w qkQK -", 0, 15, NoSquare, 1200},
             FenCase{"r3k2r/8/8/8/8/8/8/R3K2R w Kx -", 0, 1, NoSquare, 1200},
             FenCase{"4k3/8/8/8/8/8/8/4K3 B - -", 0, 0, NoSquare, 0},  // only "b" is black
             FenCase{"4k3/8/8/8/8/8/8/4K3", 0, 0, NoSquare, 0},
             FenCase{"k7QQQQ/8/8/8/8/8/8/7K w - -", 0, 0, NoSquare, 0},  // beyond the h-file
             FenCase{"8/8/8/8/x0P5/8/8/8 w - -", 0, 0, NoSquare, 100},
             FenCase{"99999999/pppppppppppppppp/8/8/8/8/8/8 b - -", 1, 0, NoSquare, 0},
             FenCase{"7K9Q/////////q w KQkq e3", 0, 15, NoSquare, 0},
             FenCase{"", 0, 0, NoSquare, 0},
         }) {
        Position& pos = TestPosition();
        SetPosition(pos, "4k3/8/8/8/8/8/8/4K3 b - -");  // nothing of it may survive
        SetPosition(pos, c.fen);
        const PlyState& ps = pos.ply[0];
        EXPECT_EQ(ps.side, c.side) << c.fen;
        EXPECT_EQ(ps.castling, c.castling) << c.fen;
        EXPECT_EQ(ps.epSquare, c.epSquare) << c.fen;
        EXPECT_EQ(ps.material[0], c.whiteMaterial) << c.fen;
        EXPECT_EQ(ps.lastMove, NoMove) << c.fen;
        EXPECT_TRUE(BoardIsOk(pos, 0)) << c.fen;
    }
    SetPosition(TestPosition(), "8/8/8/8/x0P5/8/8/8 w - -");
    EXPECT_EQ(TestPosition().board[0x32], WhitePawn);  // an unknown letter is one square, "0" none
}

TEST(MakeMove, CastlingMovesTheRookAndDropsTheRights) {
    const char* corners = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -";
    Game& game = EngineGame();
    StartGame(game, corners);
    ASSERT_TRUE(PlayMoveText(game, "e1g1"));
    EXPECT_EQ(game.pos.board[F1], White | Rook);
    EXPECT_EQ(game.pos.board[H1], 0);
    EXPECT_EQ(game.pos.ply[0].castling, CastleBK | CastleBQ);
    StartGame(game, corners);
    ASSERT_TRUE(PlayMoveText(game, "h1h2"));
    EXPECT_EQ(game.pos.ply[0].castling, CastleWQ | CastleBK | CastleBQ);
}

TEST(Ordering, KillersAndHistory) {
    Worker& w = MainWorker(EngineSearch());
    ClearOrdering(w.order);
    SetPosition(w.pos, StartFen);
    const Move a = MakeMoveWord(0x06, 0x25), b = MakeMoveWord(0x01, 0x22);
    UpdateKillers(w.order, a, 3);
    UpdateKillers(w.order, b, 3);
    EXPECT_EQ(w.order.killers[3][0], b);
    EXPECT_EQ(w.order.killers[3][1], a);
    UpdateKillers(w.order, a, 3);  // the second becomes the first
    EXPECT_EQ(w.order.killers[3][0], a);
    EXPECT_EQ(w.order.killers[3][1], b);
    UpdateKillers(w.order, MakeMoveWord(0x34, 0x43, Pawn), 3);  // captures never become killers
    EXPECT_EQ(w.order.killers[3][0], a);
    // At 16384 tries both counters of a move are halved.
    for (int i = 0; i < 8999; ++i) AddHistoryHit(w, a);
    for (int i = 0; i < 7384; ++i) AddHistoryTry(w, a);
    const int index = HistoryIndex(w.pos, a);
    EXPECT_EQ(w.order.historyTried[index], 8192);
    EXPECT_EQ(w.order.historyGood[index], 4500);
    ClearOrdering(w.order);
}

TEST(Ordering, RootSort) {
    Worker& w = MainWorker(EngineSearch());
    SetPosition(w.pos, StartFen);
    w.pos.ply[0].moveCount = 5;
    const int32_t scores[6] = {0, -1000, 12, -1000, 700, 12};
    for (int k = 1; k <= 5; ++k) {
        w.order.rootOrder[k] = k;
        w.order.rootScore[k] = scores[k];
    }
    SortRootMoves(w);
    const int expected[6] = {0, 4, 2, 5, 1, 3};
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(w.order.rootOrder[k], expected[k]) << k;
}

struct HashTables : testing::Test {
    void SetUp() override {
        HashSizeMB = 4;
        AllocateSearchTables(EngineSearch());
    }
    void TearDown() override {
        HashSizeMB = HashDefaultMB;
        AllocateSearchTables(EngineSearch());
    }
    int32_t StoreAndProbe(uint8_t depth, int32_t score) {
        HashStore(Key, depth, BoundExact, score, 1);
        const HashHit hit = HashProbe(Key);
        return hit.bound == BoundNone ? -1 : hit.score;
    }
    static constexpr uint64_t Key = 0x9E3779B97F4A7C15ull;
};

TEST_F(HashTables, SizesReplacementAndMateScores) {
    for (auto [mb, entries, pawnEntries] : {std::tuple{4, 131072, 87381},
                                            {32, 1310720, 174762},
                                            {512, 20971520, 2796202},
                                            {1, 131072, 87381},
                                            {100000, 20971520, 2796202}}) {
        HashSizeMB = mb;
        AllocateSearchTables(EngineSearch());
        EXPECT_EQ(HashEntries, entries) << mb;
        EXPECT_EQ(PawnEntries, pawnEntries) << mb;
    }
    EXPECT_EQ(StoreAndProbe(6, 10), 10);
    EXPECT_EQ(StoreAndProbe(5, 20), 10);  // shallower, same search: kept out
    EXPECT_EQ(StoreAndProbe(6, 30), 30);  // equal depth replaces
    ++HashAge;                            // the next search may replace anything
    EXPECT_EQ(StoreAndProbe(1, 50), 50);
    EXPECT_EQ(StoreAndProbe(9, 99901), 50);  // mate scores are not stored
    EXPECT_EQ(StoreAndProbe(9, -99901), 50);
    EXPECT_EQ(StoreAndProbe(9, 99900), 99900);
}

// Clock parameters of a "go" for white, and the budget they must give.
struct BudgetCase {
    int32_t movetime, wtime, winc;
    uint8_t movestogo;
    bool clockGiven;
    int32_t timeLimit, softTime;
    int32_t moveOverhead = MoveOverheadDefaultMs;
};

TEST(TimeBudget, Table) {
    auto search = std::make_unique<Search>();
    Search& s = *search;
    SetPosition(TestPosition(), StartFen);
    s.root = TestPosition().ply[0];
    for (const BudgetCase& c : {
             BudgetCase{0, 60000, 0, 0, true, 60000 / 3 - 500, 1500},
             BudgetCase{0, 5000, 0, 1, true, 4500, 4500},
             BudgetCase{1000, 0, 0, 0, false, 700, 0},
             BudgetCase{0, 0, 0, 0, false, -1, 0},
             // Never past the clock: the remaining time less 50 ms or a twentieth, at least 1.
             BudgetCase{0, 10000, 2000, 0, true, 9500, 1766},
             BudgetCase{0, 500, 2000, 0, true, 450, 450},
             BudgetCase{0, 3000, 3000, 0, true, 2850, 2500},
             BudgetCase{0, 20000, 0, 1, true, 19000, 19000},
             BudgetCase{0, 50, 5000, 0, true, 1, 1},
             // Short budgets keep a positive limit; more movetime never gives less.
             BudgetCase{300, 0, 0, 0, false, 150, 0},
             BudgetCase{450, 0, 0, 0, false, 225, 0},
             BudgetCase{600, 0, 0, 0, false, 300, 0},
             BudgetCase{1, 0, 0, 0, false, 1, 0},
             BudgetCase{0, 1000, 0, 0, true, 100, 1000 / 30 - 500},
             BudgetCase{0, -200, 0, 0, true, 1, -200},
             BudgetCase{0, 0, 0, 0, true, 1, 0},
             // The move overhead replaces the 500 ms that target and limit keep back; the
             // last-resort margin stays.
             BudgetCase{0, 10000, 100, 0, true, 12900 / 3 - 30, 12900 / 30 - 30, 30},
             BudgetCase{0, 10000, 100, 0, true, 12900 / 3, 12900 / 30, 0},
             BudgetCase{0, 1000, 0, 0, true, 100, 1000 / 30 - 5000, 5000},
         }) {
        s.limits = Limits{};
        s.limits.movetime = c.movetime;
        s.limits.wtime = c.wtime;
        s.limits.winc = c.winc;
        s.limits.movestogo = c.movestogo;
        s.limits.clockGiven[0] = c.clockGiven;
        s.options.moveOverheadMs = c.moveOverhead;
        SetTimeBudget(s);
        EXPECT_EQ(s.timeLimit, c.timeLimit) << c.movetime << " " << c.wtime << " " << c.winc;
        EXPECT_EQ(s.softTime, c.softTime) << c.movetime << " " << c.wtime << " " << c.winc;
    }
}

// When the main thread starts no further iteration, by the soft time rule.
TEST(TimeBudget, SoftRule) {
    struct SoftCase {
        int32_t timeLimit, softTime;
        int depth;
        int32_t elapsed;
        int legalMoves;
        bool ends;
    };
    auto search = std::make_unique<Search>();
    for (const SoftCase& c : {
             SoftCase{2000, 1000, 6, 501, 20, true},
             SoftCase{2000, 1000, 6, 500, 20, false},  // half the target, not more
             SoftCase{2000, 1000, 5, 900, 20, false},  // too shallow to trust
             SoftCase{2000, 1000, 6, 10, 1, true},     // one legal move
             SoftCase{2000, 1000, 5, 10, 1, false},
             SoftCase{-1, 1000, 9, 900, 20, false},  // no hard limit: no time to keep
             SoftCase{2000, 0, 9, 900, 20, false},   // a movetime sets no target
             SoftCase{2000, -200, 6, 0, 20, true},   // a target the overhead ate
         }) {
        search->timeLimit = c.timeLimit;
        search->softTime = c.softTime;
        EXPECT_EQ(SoftRuleEnds(*search, c.depth, c.elapsed, c.legalMoves), c.ends)
            << c.timeLimit << " " << c.softTime << " " << c.depth << " " << c.elapsed << " "
            << c.legalMoves;
    }
}

int32_t Eval(const std::string& fen, int32_t alpha = -ScoreInfinity, int32_t beta = ScoreInfinity) {
    SetPosition(TestPosition(), fen);
    return Evaluate(TestPosition(), MainWorker(EngineSearch()).pawns, 0, alpha, beta);
}

TEST(Evaluate, WorkedValuesAndTheLazyExit) {
    EXPECT_EQ(Eval("k7/8/8/8/8/8/8/3QK3 w - - 0 1"), 2049);
    EXPECT_EQ(Eval("8/8/8/8/8/8/8/k2QK3 w - - 0 1"), 2105);
    EXPECT_EQ(Eval("2b1k3/8/8/8/8/8/8/R3K3 w - - 0 1"), 21);
    EXPECT_EQ(Eval("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1"), -13);
    EXPECT_EQ(Eval(StartFen), 0);
    // g3 instead of g2: the shelter costs 10 more, the pawn terms give 11; a flipped shelter
    // sign would show as 21.
    EXPECT_EQ(
        Eval("r2q3k/8/8/8/8/6P1/5P1P/6K1 w - - 0 1") - Eval("r2q3k/8/8/8/8/8/5PPP/6K1 w - - 0 1"),
        1);
    // A rook up: far outside a null window the material alone is returned.
    const char* rookUp = "r3k3/pppppppp/8/8/8/8/PPPPPPPP/R2RK3 w - - 0 1";
    EXPECT_EQ(Eval(rookUp, 1100, 1101), 600);
    EXPECT_EQ(Eval(rookUp, -300, -299), 600);
    EXPECT_NE(Eval(rookUp), 600);
    EXPECT_EQ(Eval(rookUp, 1100, 1102), Eval(rookUp));  // not a null window
    // With too little material on one side there is no lazy exit, even far from the window.
    EXPECT_NE(Eval("4k3/8/8/8/8/8/8/R2RK3 w - - 0 1", 2000, 2001), 1200);
}

TEST(Repetition, GameHistoryAndSearchPath) {
    Position& pos = TestPosition();
    const KeyHistory none{};
    SetPosition(pos, StartFen);
    PlyState* ply = pos.ply;
    for (int p = 1; p <= 12; ++p) ply[p].key = 1000 + p;
    ply[2].key = ply[6].key = ply[10].key = 77;
    EXPECT_TRUE(IsRepetition(pos, 10, none));
    EXPECT_FALSE(IsRepetition(pos, 6, none));
    ply[0].key = ply[4].key = ply[8].key = 55;  // ply 0 is never compared
    EXPECT_FALSE(IsRepetition(pos, 8, none));
    // Twice in the game's history, once more on the search path; a position set up elsewhere
    // leaves the game's history alone.
    ExecuteCommand("position startpos moves g1f3 g8f6 f3g1 f6g8 b1c3 b8c6 c3b1 c6b8");
    const Game& game = EngineGame();
    SetPosition(pos, SelfTestFen);
    EXPECT_EQ(game.history.count, 8);
    ply[3].key = game.pos.ply[0].key;
    EXPECT_TRUE(IsRepetition(pos, 3, game.history));
    ExecuteCommand("position startpos moves e2e4 g8f6 g1f3 f6g8 f3g1");  // a pawn move restarts
    EXPECT_EQ(game.history.count, 5);
    std::string command = "position startpos moves";
    for (int i = 0; i < 50; ++i) command += " g1f3 g8f6 f3g1 f6g8";
    ExecuteCommand(command);
    EXPECT_EQ(game.history.count, HistorySlots);  // the newest keys are kept
    EXPECT_EQ(game.history.keys[HistorySlots], game.pos.ply[0].key);
}

TEST(Commands, GoLimitsAndOptions) {
    const int savedOutput = OutputHandle;
    OutputHandle = -1;
    struct GoCase {
        const char* command;
        uint8_t depth;
        int32_t wtime, nodes;
        uint8_t movestogo;
    };
    ExecuteCommand("position startpos");
    const Limits& limits = EngineSearch().limits;
    for (const GoCase& c : {GoCase{"go depth 3", 3, 0, 0, 0}, GoCase{"GO DEPTH 2", 2, 0, 0, 0},
                            GoCase{"go searchmoves e2e4 depth 2", 2, 0, 0, 0},
                            GoCase{"go wtime 60000 movestogo 40 depth 1", 1, 60000, 0, 40},
                            GoCase{"go depth 1 nodes 1000 mate 2", 1, 0, 1000, 0}}) {
        EXPECT_EQ(ExecuteCommand(c.command), CommandResult::Continue) << c.command;
        WaitForSearch(EngineSearch());
        EXPECT_EQ(limits.depth, c.depth) << c.command;
        EXPECT_EQ(limits.wtime, c.wtime) << c.command;
        EXPECT_EQ(limits.nodes, c.nodes) << c.command;
        EXPECT_EQ(limits.movestogo, c.movestogo) << c.command;
    }
    for (auto [command, size] : {std::pair{"setoption name Hash value 64", 64},
                                 {"setoption name Hash value 1", 4},
                                 {"setoption name Hash value 100000", 512},
                                 {"setoption name Hash value 32", 32}}) {
        ExecuteCommand(command);
        EXPECT_EQ(HashSizeMB, size) << command;
    }
    for (auto [command, clears] : {std::pair{"setoption name Clear Hash", true},
                                   {"setoption name clear hash", true},
                                   {"ucinewgame", true},
                                   {"setoption name Clear Hash now", false}}) {
        const uint64_t key = EngineGame().pos.ply[0].key;
        HashStore(key, 5, BoundExact, 10, 0);
        ExecuteCommand(command);
        EXPECT_EQ(HashProbe(key).bound == BoundNone, clears) << command;
    }
    OutputHandle = savedOutput;
}

// A search of `fen` to `depth` by the engine's search with the options given, from a fixed
// seed and empty tables: its answer and its node count.
std::pair<Move, int64_t> SearchOnce(const char* fen, const Limits& limits,
                                    const SearchOptions& options, uint32_t seed) {
    const int savedOutput = OutputHandle;
    OutputHandle = -1;
    Search& search = EngineSearch();
    SeedRandom(seed);
    ClearSearchTables(search);
    Game& game = EngineGame();
    StartGame(game, fen);
    const Move best = RunSearch(search, game, limits, options);
    OutputHandle = savedOutput;
    return {best, SearchNodes(search)};
}

// Helpers search beside the main thread, every one of them, and share only the transposition
// table: after a search with four threads, one thread searches exactly as before, node for
// node.
TEST(Threads, HelpersSearchAndOneThreadAgainSearchesAsBefore) {
    Limits limits{};
    limits.depth = 5;
    const auto alone = SearchOnce(SelfTestFen, limits, {}, 5);
    SetThreadCount(EngineSearch(), 4);
    EXPECT_NE(SearchOnce(SelfTestFen, limits, {}, 5).first, NoMove);
    for (const auto& w : EngineSearch().workers)
        EXPECT_GT(w->nodes.load(), 1000) << "thread " << w->index << " hardly searched";
    SetThreadCount(EngineSearch(), 1);
    EXPECT_EQ(SearchOnce(SelfTestFen, limits, {}, 5), alone);
}

// A lower level searches less, and a level's budget ends the search like a node limit.
TEST(Levels, LowerLevelsSearchFewerNodes) {
    auto search = [](int elo) {
        SearchOptions options;
        options.limitStrength = true;
        options.levelElo = elo;
        const auto [best, nodes] = SearchOnce(SelfTestFen, {}, options, 3);
        EXPECT_NE(best, NoMove) << elo;
        return std::pair{nodes, LevelNodeBudget(options)};
    };
    const auto [low, lowBudget] = search(LevelEloMin);
    const auto [high, highBudget] = search(1700);
    EXPECT_LT(low, high);
    EXPECT_LE(low, lowBudget + ClockInterval);
    EXPECT_LE(high, highBudget + ClockInterval);
}

// A level chooses among its best lines, weighted towards the better, and never one that loses
// more than its margin against the best: 187 cp at the lowest level, 75 at 1400. A found mate
// is always played.
TEST(Levels, ChoiceStaysWithinTheMargin) {
    struct ChoiceCase {
        int elo;
        std::vector<int32_t> scores;
        int widest;  // lines 0..widest are each chosen at times, later ones never
    };
    SeedRandom(11);
    for (const ChoiceCase& c :
         {ChoiceCase{LevelEloMin, {50, -100, -137, -138}, 2},
          ChoiceCase{1400, {0, -60, -75, -76}, 2}, ChoiceCase{1400, {0, -99990, -99990}, 0},
          ChoiceCase{LevelEloMin, {99990, 50, 40}, 0}}) {
        SearchOptions options;
        options.limitStrength = true;
        options.levelElo = c.elo;
        RootLine lines[LevelLines];
        const int count = int(c.scores.size());
        for (int i = 0; i < count; ++i) lines[i].score = c.scores[size_t(i)];
        int chosen[LevelLines] = {};
        for (int draw = 0; draw < 2000; ++draw) ++chosen[ChooseLevelLine(lines, count, options)];
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(chosen[i] > 0, i <= c.widest) << c.elo << ": line " << i << " " << chosen[i];
    }
}

// The README's table of options is the one the engine offers, row for row.
TEST(Options, TheReadmeTableIsTheEngines) {
    std::ifstream file(SORVANE_SOURCE_DIR "/README.md");
    const std::string readme((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(readme.find(OptionsTable()), std::string::npos)
        << "The README's options table should read:\n"
        << OptionsTable();
}

// A number is an optional sign and decimal digits that fit in 32 bits, nothing else.
TEST(Tokens, Numbers) {
    for (auto [text, ok, value] : {std::tuple{"42", true, 42},
                                   {"-5", true, -5},
                                   {"+7", true, 7},
                                   {"2147483647", true, 2147483647},
                                   {"-2147483648", true, -2147483647 - 1},
                                   {"2147483648", false, 0},
                                   {"99999999999", false, 0},
                                   {"12ms", false, 0},
                                   {"x", false, 0},
                                   {"-", false, 0},
                                   {"", false, 0}}) {
        int32_t number = 0;
        EXPECT_EQ(ConvertInt(text, number), ok) << text;
        if (ok) {
            EXPECT_EQ(number, value) << text;
        }
    }
}

TEST(Tokens, EmptyTokensAreKept) {
    std::string_view text = "go  depth 5";
    std::string token, tokens;
    while (!text.empty()) {
        SplitToken(text, ' ', token);
        tokens += "[" + token + "]";
    }
    EXPECT_EQ(tokens, "[go][][depth][5]");
}

}  // namespace
