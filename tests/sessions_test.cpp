// Engine sessions over pipes, one table: each row is a script of what a controller sends, what
// it must read back and when, and how the engine ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/fen.h"
#include "movegen/attack.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "tests/session.h"
#include "tests/support.h"
#include "uci/uci.h"

namespace {

struct SessionCase {
    const char* name;
    std::vector<std::string> script;
};

// A middlegame full of tactics, where no iteration ends early.
const std::string Middlegame =
    "> position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Rows of pawns on the seventh rank: promotions and seventh-rank extensions everywhere.
const std::string SeventhRanks = "> position fen 8/PPPPPPPP/8/8/8/8/pppppppp/K6k w - - 0 1";

const std::string Version = "Sorvane v 1\\.0b";

// A fatal input: nothing on standard output after the name line, the message on standard
// error, exit status 1.
SessionCase Fatal(const char* name, const std::string& command, const std::string& message) {
    return {name,
            {"> position startpos", "> " + command, "> isready", "exit 1", "none readyok",
             "stderr " + message + "\n"}};
}

// A game of `plies` random legal moves from the start position, drawn with a fixed seed.
std::string RandomGame(int plies) {
    Game& game = EngineGame();
    StartGame(game, StartFen);
    SeedRandom(31337);
    std::string moves;
    for (int i = 0; i < plies; ++i) {
        const Move m = RandomLegalMove(game.pos, 0);
        if (m == NoMove) break;
        moves += " " + MoveToText(m);
        PlayMove(game, m);
    }
    return moves;
}

std::vector<SessionCase> Sessions() {
    std::vector<SessionCase> rows = {
        // The handshake, exactly; the name line arrives before any input.
        {"Handshake",
         {"next " + Version, "> uci", "next id name " + Version, "next id author Omberlin",
          "next option name Hash type spin default 32 min 4 max 512",
          "next option name Clear Hash type button",
          "next option name Threads type spin default 1 min 1 max 256",
          "next option name Ponder type check default false",
          "next option name MultiPV type spin default 1 min 1 max 256",
          "next option name Move Overhead type spin default 500 min 0 max 5000",
          "next option name UCI_LimitStrength type check default false",
          "next option name UCI_Elo type spin default 1500 min 800 max 2000",
          "next option name UCI_Chess960 type check default false", "next uciok", "> isready",
          "next readyok", "> quit", "exit 0"}},
        {"CommandWordsIgnoreCaseAndOddLinesAreIgnored",
         {"next " + Version, "> Uci", "expect uciok", "> hello", "> ", "> go2", "> isready now",
          "next readyok", "> UCI", "next id name .*", "> quit", "exit 0"}},
        // Any run of spaces and tabs parts two words: black is to move here, from rank 5 to 8.
        {"WordsPartedByAnyRunOfSpacesAndTabs",
         {"> position  startpos\tmoves  e2e4 e7e5\t g1f3", "> go  depth\t1",
          "expect bestmove [a-h][5-8][a-h][1-8]", "> quit", "exit 0"}},
        {"QuitEndsAtOnce", {"> quit", "> isready", "exit 0", "none readyok"}},
        {"EndOfInputEndsCleanly", {"> isready", "close", "exit 0"}},
        {"SelfTestReportsEachDepthAsItEnds",
         {"> test", "expect Depth=1 Nodes=48 Time=\\S+ NPS=\\S+", "next Depth=2 Nodes=2039 .*",
          "next Depth=3 Nodes=97862 .*", "next Depth=4 Nodes=4085603 .*"}},
        // The info line's fields and order, mates in moves for either side with the line to
        // the mate, and a bestmove without a ponder move while the Ponder option is off.
        {"MatesInMoves",
         {"> position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "> go depth 10",
          "expect info depth 1 nodes \\d+ time \\d+ nps \\d+ score mate 1 pv d1d8",
          "next bestmove d1d8", "> position fen k7/8/1K6/8/8/8/8/7R b - - 0 1", "> go depth 5",
          "expect info depth 2 .* score mate -1 pv a8b8 h1h8", "next bestmove a8b8",
          // The search finds the mate in quiescence; the line shows it to the end.
          "> position fen r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 10",
          "> go depth 5", "expect info depth 1 .* score mate 2 pv d5f6 g7f6 c4f7",
          "next bestmove d5f6"}},
        // No legal move: mate 0 or a level score at depth 0, and the null move, with no ponder
        // move; an analysis of such a position still waits for its "stop".
        {"NoLegalMove",
         {"> setoption name Ponder value true",
          "> position fen R5k1/5ppp/8/8/8/8/5PPP/6K1 b - - 0 1", "> go depth 3",
          "expect info depth 0 score mate 0", "next bestmove 0000",
          "> position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "> go infinite",
          "next info depth 0 score cp 0", "wait 300", "none bestmove.*", "> stop",
          "next bestmove 0000", "> quit", "exit 0"}},
        Fatal("IllegalMoveInPosition", "position startpos moves e2e5",
              "illegal move in position command: e2e5"),
        Fatal("ShortMoveInPosition", "position startpos moves e2",
              "illegal move in position command: e2"),
        Fatal("TwoKingsOfASide", "position fen k3k3/8/8/8/8/8/8/4K3 w - - 0 1",
              "position refused, a side has more than one king: k3k3/8/8/8/8/8/8/4K3 w - - 0 1"),
        Fatal("WordForANumber", "go depth", "'' is not a valid integer value"),
        Fatal("OptionValueNotANumber", "setoption name Hash value lots",
              "'lots' is not a valid integer value"),
        // Short clocks are answered in time, and never with an empty move.
        {"ShortClocks",
         {"> position startpos moves e2e4 e7e5", "> isready", "expect readyok",
          "> go wtime 1000 btime 1000", "expect 700 bestmove \\S+", "> go wtime 300 btime 300",
          "expect 150 bestmove \\S+", "> go wtime -200 btime 5000", "expect 100 bestmove \\S+",
          "> go movetime 100", "expect 400 bestmove \\S+", "> go wtime 0 btime 0",
          "expect 100 bestmove (?!0000)\\S+"}},
        {"StopAndPonderhitBetweenSearches",
         {"> stop", "> position startpos", "> go depth 2", "expect bestmove \\S+", "> ponderhit",
          "> stop", "> go depth 2", "expect bestmove \\S+", "> quit", "exit 0"}},

        // Increments at least as long as the clock: the answer comes before the flag falls.
        {"IncrementLongerThanTheClock",
         {Middlegame, "> isready", "expect readyok", "> go wtime 500 btime 500 winc 2000 binc 2000",
          "expect 500 bestmove \\S+", "> quit", "exit 0"}},
        {"ClockWithEqualIncrement",
         {Middlegame, "> isready", "expect readyok",
          "> go wtime 3000 btime 3000 winc 3000 binc 3000", "expect 3000 bestmove \\S+", "> quit",
          "exit 0"}},
        // Open-ended searches end on "stop", "quit" or the end of input. The limits leave room
        // for a busy machine.
        {"InfiniteStops",
         {"> position startpos", "> go infinite", "wait 1000", "none bestmove.*", "> stop",
          "expect 1000 bestmove \\S+", "> isready", "expect readyok", "> quit", "exit 0"}},
        {"BareGoDepthZeroAndOtherSidesClockStop",
         {"> go", "wait 500", "none bestmove.*", "> stop", "expect 1000 bestmove \\S+",
          "> go depth 0 nodes 5 mate 2", "wait 500", "> stop", "expect 1000 bestmove \\S+",
          "> go btime 100 winc 10", "wait 500", "none bestmove.*", "> stop",
          "expect 1000 bestmove \\S+", "> quit", "exit 0"}},
        // Every search listens, also one with a limit of its own: "isready" is answered at
        // once and "stop" ends it; "quit" then ends the engine at once.
        {"OneThreadAnswersIsreadyAndStopInEverySearch",
         {Middlegame, "> go movetime 10000", "wait 300", "> isready", "expect 1000 readyok",
          "none bestmove.*", "> stop", "expect 1000 bestmove \\S+", "> go depth 40", "wait 300",
          "> stop", "expect 1000 bestmove \\S+", "> go movetime 10000", "wait 300", "> stop",
          "expect 1000 bestmove \\S+", "> quit", "exit 0 1000"}},
        // A search with a limit of its own still runs to it before "quit" or the end of input
        // ends the engine, as a script that pipes "go depth 9" and "quit" expects.
        {"QuitAfterALimitedSearch",
         {"> position startpos", "> go depth 9", "> quit", "expect info depth 9 .*",
          "expect bestmove \\S+", "exit 0"}},
        {"EndOfInputAfterALimitedSearch",
         {"> position startpos", "> go depth 9", "close", "expect info depth 9 .*",
          "expect bestmove \\S+", "exit 0"}},
        {"IsreadyDuringASearch",
         {"> go infinite", "wait 500", "> isready", "expect 1000 readyok", "none bestmove.*",
          "> ponderhit", "> stop", "expect 1000 bestmove \\S+"}},
        {"QuitDuringASearch",
         {"> go infinite", "wait 500", "> quit", "expect 1000 bestmove \\S+", "exit 0 1000"}},
        {"EndOfInputDuringASearch",
         {"> go infinite", "wait 300", "close", "expect 1000 bestmove \\S+", "exit 0 1000"}},
        // Lines that are not for the search wait for its answer, then run in order.
        {"OtherLinesWaitForTheAnswer",
         {"> go infinite", "wait 300", "> position startpos moves e2e4", "> go depth 1", "> stop",
          "expect 1000 bestmove [a-h]2[a-h][34]|bestmove [bg]1[acfh]3",
          "expect bestmove [a-h][78][a-h][56]|bestmove [bg]8[acfh]6", "> go movetime 500",
          "> setoption name MultiPV value 2", "> position startpos", "> go depth 1",
          "expect 2000 bestmove [a-h][78][a-h][56]|bestmove [bg]8[acfh]6",
          "expect info depth 1 multipv 2 .*",
          "expect bestmove [a-h]2[a-h][34]|bestmove [bg]1[acfh]3",
          // A "stop" after a "go" that waits for its turn is that search's, not the one
          // running under a limit of its own.
          "> setoption name MultiPV value 1", "> go depth 9", "> position startpos moves e2e4",
          "> go infinite", "> stop", "expect 20000 info depth 9 .*",
          "expect bestmove [a-h]2[a-h][34]|bestmove [bg]1[acfh]3",
          "expect bestmove [a-h][78][a-h][56]|bestmove [bg]8[acfh]6", "> quit", "exit 0"}},
        // A fixed depth ends however many pawns stand on the seventh rank.
        {"FixedDepthsEndWithRowsOfPromotions",
         {SeventhRanks, "> go depth 1", "expect 5000 bestmove \\S+", "> go depth 2",
          "expect 5000 bestmove \\S+", "> go depth 3", "expect 5000 bestmove \\S+", "> go depth 4",
          "expect 5000 bestmove \\S+", "> quit", "exit 0"}},
        // The game's own positions count for repetitions: a rook down, black draws by going
        // back to d8 a third time.
        {"RepetitionWithTheGamesPositions",
         {"> position fen 4k3/8/8/8/8/8/8/R3K3 b - - 0 1 moves e8d8 e1e2 d8e8 e2e1 e8d8 e1e2 "
          "d8e8 e2e1",
          "> go depth 6", "expect info depth 6 .* score cp 0 pv e8d8", "next bestmove e8d8",
          "> quit", "exit 0"}},
        // Chess960: castling is the king taking its own rook, read and written so; with the
        // option off again, the king's two-file step.
        {"Chess960CastlingIsTheKingTakingItsRook",
         {"> setoption name UCI_Chess960 value true", "> setoption name MultiPV value 40",
          "> position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6", "> go depth 1",
          "expect info depth 1 multipv \\d+ .* pv e1h1",
          "> position fen bqnnrkrb/pppppppp/8/8/8/8/PPPPPPPP/BQNNRKRB w GEge - 0 1 moves g2g3 "
          "g7g6 h1g2 h8g7 f1g1",
          "> go depth 1", "expect info depth 1 multipv \\d+ .* pv f8g8",
          "> setoption name UCI_Chess960 value false",
          "> position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6", "> go depth 1",
          "expect info depth 1 multipv \\d+ .* pv e1g1", "> quit", "exit 0"}},
        // Nothing of an earlier position reaches the next search.
        {"EarlierGameLeavesNoTrace",
         {"> position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 g8f6 b5c6",
          "> position fen r1bqkb1r/pppp1ppp/2n5/4p3/2B1n3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 5",
          "> go depth 7", "expect bestmove e1g1", "> quit", "exit 0"}},
        {"SideFieldOtherThanBIsWhite",
         {"> position fen 4k3/8/8/8/8/8/8/4K2R b - - 0 1", "> position fen 4k3/8/8/8/8/8/8/4K2R B",
          "> go depth 1", "expect bestmove (e1|h1)\\S+", "> quit", "exit 0"}},
        // A megabyte of spaces is read in time proportional to its length.
        {"LongLineOfSpaces",
         {"> position startpos moves " + std::string(1 << 20, ' ') + "e2e4", "> isready",
          "expect 3000 readyok", "> go depth 1", "expect bestmove [a-h][78]\\S+"}},
        // Several threads: legal answers within the limits, stop and isready during an
        // open-ended search, and a thread count that changes between searches. The sanitizer
        // CI runs these rows under ThreadSanitizer, whose report would change the exit status.
        {"TwoThreadsAnswerLegalMovesOnTime",
         {"> setoption name Threads value 2", "play go depth 8", "play 700 go movetime 500",
          "play 1000 go wtime 3000 btime 3000", "> quit", "exit 0"}},
        {"FourThreadsAnswerIsreadyAndStop",
         {"> setoption name Threads value 4", Middlegame, "> go movetime 10000", "wait 1000",
          "> isready", "expect 1000 readyok", "none bestmove.*", "> stop",
          "expect 1000 bestmove \\S+", "> go infinite", "wait 300", "> stop",
          "expect 1000 bestmove \\S+", "> go depth 7", "nodes 1000000000", "> quit",
          "exit 0 1000"}},
        {"ThreadCountChangesBetweenSearches",
         {"> setoption name Threads value 4", "play go depth 5", "> setoption name Threads value 1",
          "play go depth 5", "> setoption name Threads value 3", "play go wtime 1000 btime 1000",
          "> setoption name Threads value 300", "play go depth 2",
          "> setoption name Threads value 0", "play go depth 3", "> quit", "exit 0"}},
        // A level searches alone, so that four threads play at its rating: about its budget
        // of nodes, counted as they grow.
        {"FourThreadsAtTheLowestLevel",
         {"> setoption name Threads value 4", "> setoption name UCI_LimitStrength value true",
          "> setoption name UCI_Elo value 800", Middlegame, "> go wtime 10000 btime 10000",
          "nodes 2100", "> go movetime 2000", "nodes 2100", "> quit", "exit 0"}},
        {"QuitDuringAFourThreadSearch",
         {"> setoption name Threads value 4", "> go infinite", "wait 300", "> quit",
          "expect 1000 bestmove \\S+", "exit 0 1000"}},
        // Node and mate limits, analysis that waits for "stop", pondering, several lines.
        {"NodeLimit",
         {"> position startpos", "> go nodes 20000",
          "expect info nodes (1?\\d{1,4}|20\\d{3}|210[01]\\d|2102[0-4]) time \\d+ nps \\d+",
          "next bestmove \\S+", "> setoption name Threads value 2", "> go nodes 20000 depth 30",
          "expect info nodes (1?\\d{1,4}|2\\d{4}) time \\d+ nps \\d+", "next bestmove \\S+",
          "> quit", "exit 0"}},
        {"MateLimit",
         {"> position fen k7/8/2K5/8/8/8/8/7R w - - 0 1", "> go mate 2",
          "expect 5000 bestmove (c6b6|c6c7)", "> quit", "exit 0"}},
        {"InfiniteWaitsForStopAfterAMate",
         {"> position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "> go infinite", "wait 1000",
          "none bestmove.*", "> isready", "expect 1000 readyok", "> stop",
          "expect 1000 bestmove d1d8", "> quit", "exit 0"}},
        // The budget of a pondering search starts at "ponderhit": here 700 ms from then, although
        // more than that has gone since "go".
        {"PonderHit",
         {"> setoption name Ponder value true", Middlegame, "> go ponder movetime 1000",
          "wait 1500", "none bestmove.*", "> ponderhit", "wait 300", "none bestmove.*",
          "expect 3000 bestmove \\S+ ponder \\S+", "> quit", "exit 0"}},
        {"PonderMiss",
         {"> setoption name Ponder value true", "> position startpos moves e2e4",
          "> go ponder wtime 10000 btime 10000", "wait 1000", "none bestmove.*", "> stop",
          "expect 1000 bestmove \\S+ ponder \\S+", "> quit", "exit 0"}},
        {"PonderHitAfterTheSearchEnded",
         {"> position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "> go ponder depth 3", "wait 500",
          "none bestmove.*", "> ponderhit", "expect 1000 bestmove d1d8", "> quit", "exit 0"}},
        {"ThreeLines",
         {"> setoption name MultiPV value 3", "> position startpos moves e2e4", "> isready",
          "expect readyok", "> go depth 5",
          "lines 3 info depth 1 multipv [123] nodes \\d+ time \\d+ nps \\d+ score cp (-?\\d+) "
          "pv (\\S+).*",
          "expect info depth 4 multipv 3 .*",
          "lines 3 info depth 5 multipv [123] nodes \\d+ time \\d+ nps \\d+ score cp (-?\\d+) "
          "pv (\\S+).*",
          "next bestmove \\S+", "> quit", "exit 0"}},
        // A controller that stops reading does not kill the engine.
        {"ClosedOutputIsNotFatal",
         {"closeout", "> uci", "> isready", "> go depth 2", "> quit", "exit 0"}},
    };
    // Whole games under mixed limits: every answer is legal in the game.
    SessionCase game{"EveryAnswerIsLegal", {"> ucinewgame"}};
    const char* limits[] = {"go depth 3", "go movetime 40",
                            "go wtime 2000 btime 2000 winc 20 binc 20", "go depth 2",
                            "go wtime 400 btime 400"};
    for (int ply = 0; ply < 80; ++ply)
        game.script.push_back(std::string("play ") + limits[ply % 5]);
    game.script.insert(game.script.end(), {"> quit", "exit 0"});
    rows.push_back(game);
    // With more threads than cores, a short search may end before a helper has begun it; the
    // answer must still be a move of this position, not the helper's answer to the last one.
    SessionCase shortSearches{"FourThreadsAnswerShortSearchesLegally",
                              {"> setoption name Threads value 4", "> ucinewgame"}};
    for (int ply = 0; ply < 80; ++ply)
        shortSearches.script.push_back(ply % 2 ? "play go depth 1" : "play go movetime 1");
    shortSearches.script.insert(shortSearches.script.end(), {"> quit", "exit 0"});
    rows.push_back(shortSearches);
    // A long session: a game of 400 plies sent in growing steps, hash sizes in and out of
    // range, new games, stop and ponderhit between searches. The sanitizer build also finds
    // any table leaked on the way when the engine ends.
    const std::string moves = RandomGame(400);
    SessionCase session{"LongSession", {}};
    const char* hashSizes[] = {"1", "600", "64", "4", "512", "-3", "32"};
    for (size_t end = 0, step = 0; end < moves.size(); ++step) {
        end = std::min(moves.size(), moves.find(' ', end + 300));
        session.script.insert(session.script.end(),
                              {"> setoption name Hash value " + std::string(hashSizes[step % 7]),
                               "> position startpos moves" + moves.substr(0, end), "> go depth 1",
                               "expect bestmove \\S+", step % 3 ? "> ponderhit" : "> ucinewgame",
                               "> stop", "> isready", "expect readyok"});
    }
    session.script.insert(session.script.end(), {"> quit", "exit 0"});
    rows.push_back(session);
    return rows;
}

void PrintTo(const SessionCase& row, std::ostream* out) { *out << row.name; }

class Session : public testing::TestWithParam<SessionCase> {};

TEST_P(Session, Runs) { EXPECT_EQ(RunSession(GetParam().script), ""); }

INSTANTIATE_TEST_SUITE_P(Table, Session, testing::ValuesIn(Sessions()),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
