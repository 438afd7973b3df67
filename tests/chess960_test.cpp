// Chess960: perft against published engine counts, every move's invariants in random games
// from Chess960 positions, and the castling field and its keys.
#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "movegen/attack.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "tests/fuzz/harness.h"
#include "tests/support.h"
#include "uci/tests.h"

namespace {

struct Chess960Case {
    const char* fen;
    int64_t leaves[5];  // depths 1 to 5
};

// Start positions (the king on b or g, next to a rook, rights on one side only) and positions
// from random games, half with their castling field in X-FEN and half in Shredder-FEN. The
// counts were taken once from Debian's Stockfish 15.1 ("setoption name UCI_Chess960 value
// true", "go perft N"); the suite does not need it.
const Chess960Case Chess960Cases[] = {
    {"rkbbqnnr/pppppppp/8/8/8/8/PPPPPPPP/RKBBQNNR w KQkq - 0 1",
     {20, 400, 8964, 200328, 4970815}},  // start 709
    {"rkbqnbnr/pppppppp/8/8/8/8/PPPPPPPP/RKBQNBNR w HAha - 0 1",
     {20, 400, 8942, 199341, 4938094}},  // start 710
    {"rkbqnnrb/pppppppp/8/8/8/8/PPPPPPPP/RKBQNNRB w KQkq - 0 1",
     {20, 400, 8998, 201714, 5000803}},  // start 711
    {"bbqnnrkr/pppppppp/8/8/8/8/PPPPPPPP/BBQNNRKR w HFhf - 0 1",
     {20, 400, 9006, 201143, 4975808}},  // start 0
    {"bqnbnrkr/pppppppp/8/8/8/8/PPPPPPPP/BQNBNRKR w KQkq - 0 1",
     {20, 400, 8948, 198393, 4863733}},  // start 1
    {"bqnnrbkr/pppppppp/8/8/8/8/PPPPPPPP/BQNNRBKR w HEhe - 0 1",
     {20, 400, 8988, 200096, 4916733}},  // start 2
    {"bqnnrkrb/pppppppp/8/8/8/8/PPPPPPPP/BQNNRKRB w KQkq - 0 1",
     {21, 441, 10238, 235990, 5965500}},  // start 3
    {"qnbnrkrb/pppppppp/8/8/8/8/PPPPPPPP/QNBNRKRB w GEge - 0 1",
     {21, 441, 10135, 231062, 5753406}},  // start 7
    {"qnnrbkrb/pppppppp/8/8/8/8/PPPPPPPP/QNNRBKRB w KQkq - 0 1",
     {21, 441, 10160, 232315, 5798401}},  // start 11
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1",
     {20, 400, 8902, 197281, 4865609}},  // start 518 (standard)
    {"rknbbnqr/pppppppp/8/8/8/8/PPPPPPPP/RKNBBNQR w KQkq - 0 1",
     {20, 400, 9014, 201602, 4983003}},  // start 745
    {"nrkrbnqb/pppppppp/8/8/8/8/PPPPPPPP/NRKRBNQB w DBdb - 0 1",
     {19, 361, 7744, 164812, 3925339}},  // start 379
    {"rnbbkqrn/pppppppp/8/8/8/8/PPPPPPPP/RNBBKQRN w KQkq - 0 1",
     {19, 361, 7735, 164968, 3955432}},  // start 629
    {"rnbbnqkr/pppppppp/8/8/8/8/PPPPPPPP/RNBBNQKR w HAha - 0 1",
     {20, 400, 8982, 201064, 4990944}},  // start 437
    {"bbnrnkqr/pppppppp/8/8/8/8/PPPPPPPP/BBNRNKQR w KQkq - 0 1",
     {20, 400, 8984, 200232, 4939625}},  // start 160
    {"rknbqnbr/pppppppp/8/8/8/8/PPPPPPPP/RKNBQNBR w HAha - 0 1",
     {20, 400, 9014, 201749, 5008452}},  // start 733
    {"rkrbnnbq/pppppppp/8/8/8/8/PPPPPPPP/RKRBNNBQ w KQkq - 0 1",
     {20, 400, 8910, 195995, 4722424}},  // start 957
    {"rkbnqbrn/pppppppp/8/8/8/8/PPPPPPPP/RKBNQBRN w GAga - 0 1",
     {19, 361, 7811, 168423, 4066592}},  // start 822
    {"r2knrbb/p1pp1p2/1qn3p1/1N2p2p/1p4P1/1P1P1N2/PQP1PP1P/2KR1RBB w kq - 0 9",
     {35, 1186, 40332, 1366894, 46595350}},  // after 16 plies from 527
    {"1br1kqbr/2p1p2p/1n2n1p1/1p1p1p2/1P1B4/5P2/2PPP1PP/NBRNKQ1R w Chc - 0 9",
     {31, 848, 25491, 729666, 21982530}},  // after 16 plies from 172
    {"rbk2qnn/1p2p1pp/2p2p2/6Pb/1p2P2P/8/P1Pr1P2/RBKRB2N w KQq - 0 10",
     {14, 655, 10314, 461697, 8604304}},  // after 18 plies from 920
    {"rk2r1bn/p2pqnp1/4p3/1p3p1p/1P2PP1P/2PP2P1/P7/RBKQRN1N w EA - 0 13",
     {25, 730, 19610, 599876, 16828842}},  // after 24 plies from 908
    {"qrbb2kr/p2ppp1p/1p6/1np2np1/P7/1P1P2NP/1BP1PPP1/QR1BNRK1 w kq - 1 10",
     {29, 999, 29367, 1015050, 30830779}},  // after 18 plies from 389
    {"rbbnk1qn/p1pp1r1p/4pp2/1p4P1/4P3/8/PPPP1PP1/RBBNKRQN w FAa - 0 6",
     {20, 521, 11763, 325928, 8164996}},  // after 10 plies from 644
    {"nrb3nq/3pk1pp/6pb/p1p1p3/1pP1Pr2/1P1P4/P1BB1PPP/N1R1KR1Q w K - 3 12",
     {21, 607, 13290, 392236, 8940596}},  // after 22 plies from 373
    {"bb1k1nnr/1prpq3/5ppp/p1p1p3/P2PPP2/7P/1PP1N1PR/BBKRQ1N1 b h - 0 9",
     {25, 697, 18719, 543954, 15456517}},  // after 17 plies from 704
    {"nbrq2br/2p1ppkp/3p2p1/1p3BP1/1P3n1P/PpP1N3/3PP3/1QR1K1BR b KQ - 1 12",
     {23, 795, 19464, 683838, 17680859}},  // after 23 plies from 236
    {"br1n1b1r/1pp1ppk1/3n3p/p2p2q1/2PP2P1/5N2/PPQ1P1NP/BR3BKR w HB - 0 12",
     {34, 1116, 36349, 1196306, 38779866}},  // after 22 plies from 402
    {"nnr1kbrq/1pp1ppp1/p2pb3/7p/6P1/P1N2P2/1PPPP1RP/N1BRKB1Q w Qk - 5 7",
     {24, 640, 16396, 452706, 12273443}},  // after 12 plies from 86
    {"1n1rkr1b/5ppp/b1ppp3/pp3n2/2P3NP/BPQ1P1P1/P2P1P2/3RKRNq b FDfd - 4 12",
     {35, 1283, 43694, 1533018, 52330936}},  // after 23 plies from 295
    {"r2kbb1r/2ppp1qp/2n3p1/pp1P4/P1n1PpP1/1PN5/2PB1P1P/R1N1KBQR w kq - 1 10",
     {32, 1141, 36306, 1274351, 40416312}},  // after 18 plies from 458
    {"bnrkrbq1/1p1pppp1/p1p3np/8/1PPB2P1/7P/P2PPP2/1NRKRBQN b ECec - 0 5",
     {20, 634, 13203, 423581, 9510878}},  // after 9 plies from 354
    {"rn1bkq1r/pppnppp1/7p/3p4/3N4/P6P/1PPPPP1P/RNBBK1QR b KQkq - 1 7",
     {22, 591, 13955, 414309, 10326285}},  // after 13 plies from 533
    {"b1qr1knr/1ppppppp/p4n2/8/1P1b2P1/2B5/P1PPPPKP/1BQRN1NR w hd - 5 5",
     {24, 692, 16704, 492653, 12580327}},  // after 8 plies from 480
    {"qnnrkrbb/pp3ppp/4p3/2Pp4/8/8/P1PPPPPP/QNNRKRBB b KQkq - 1 4",
     {22, 549, 12825, 350068, 8573793}},  // after 7 plies from 15
    {"r1nkbbqr/1pp1pppp/n7/p2p4/4P3/1P1P4/P1P2PPP/RNNKBBQR w HAha - 1 4",
     {25, 694, 18086, 519503, 14164685}},  // after 6 plies from 458
    {"b1kb1nn1/Bp1qppp1/3p2r1/2p4p/1P6/R6N/P1PPPPPP/2KBQN1R w K - 2 8",
     {32, 1073, 34754, 1182382, 38686763}},  // after 14 plies from 705
    {"r2rbbnq/p1kppp2/1pQ4p/2P3p1/P5P1/R6N/2PPPP1P/1NKRBB2 b D - 0 7",
     {3, 86, 2166, 61940, 1636821}},  // after 13 plies from 666
    {"qrb1nkr1/pp2b2p/4ppn1/2p5/2p1P3/P5P1/1P1P1PKP/QRBBR2N w kq - 0 10",
     {27, 654, 16077, 420513, 10568014}},  // after 18 plies from 581
    {"1r1qkrbb/pp1p1ppp/1np5/3Bp3/4P1PP/1P1N4/PRnPKP2/N2Q1RB1 b fb - 3 8",
     {31, 818, 24966, 697556, 21690306}},  // after 15 plies from 159
    {"nrqkr1bb/pp1ppp1p/4n3/2p3p1/1P1PB1P1/8/P1P1PP1P/NRQKRNB1 b KQkq - 1 4",
     {28, 993, 28889, 1021852, 31020829}},  // after 7 plies from 335
    {"nqrb1kbr/pppp2np/5p2/4p1p1/1P6/5P2/PQPPP1PP/N1RBNKBR w HChc - 0 5",
     {30, 811, 25405, 715124, 23030788}},  // after 8 plies from 125
    {"n1rnkbBr/pp6/5ppp/2p5/6P1/2pQ4/PPR1PP1q/N2NK1BR w kq - 0 12",
     {42, 1248, 48695, 1492574, 58433986}},  // after 22 plies from 126
    {"rk2rbbn/ppqpp2p/6p1/2p2p2/PP1n3P/3P4/1QP1PPP1/RK1NRBBN b EAea - 4 7",
     {44, 1113, 46582, 1280884, 51673882}},  // after 13 plies from 814
    {"1nqknrbb/3pppp1/5r1p/ppp2P2/P6P/3PP3/NPP3P1/R1QKNRBB b KQk - 2 8",
     {27, 631, 18026, 468107, 13952011}},  // after 15 plies from 527
    {"bnqbk1rn/pp5p/2pQB3/4Ppp1/5P2/N2P4/PP2PNPP/B2R1KR1 b G - 0 13",
     {24, 1039, 23059, 998146, 23747279}},  // after 25 plies from 305
};

TEST(Chess960, PerftCounts) {
    const int deepest = SORVANE_LONG_TESTS ? 5 : 4;
    for (const Chess960Case& c : Chess960Cases) {
        Position& pos = TestPosition();
        SetPosition(pos, c.fen, true);
        StartPerft(pos);
        for (int depth = 1; depth <= deepest; ++depth)
            EXPECT_EQ(Perft(pos, depth, 0), c.leaves[depth - 1]) << c.fen << " depth " << depth;
    }
}

// Every move of every position of random games from the Chess960 positions, with all three
// makes: boards, keys and bitboards restored, legality against a full scan.
TEST(Chess960, EveryMoveKeepsTheInvariants) {
    SeedRandom(960);
    for (const Chess960Case& c : Chess960Cases) {
        for (int game = 0; game < 2; ++game) ASSERT_EQ(PlayoutFault(c.fen, true, 60), "");
    }
}

// The castling field: X-FEN and Shredder-FEN name the same rights, a right without its king
// and rook is dropped, and positions that differ only in the rook that may castle have
// different keys; in standard chess the field and the keys are as they always were.
TEST(Chess960, CastlingFieldsAndKeys) {
    struct FieldCase {
        const char* fen;
        bool chess960;
        const char* shredder;  // the rights read, as Shredder-FEN; "KQkq" in standard chess
    };
    Position& pos = TestPosition();
    for (const FieldCase& c : {
             FieldCase{"bqnnrkrb/pppppppp/8/8/8/8/PPPPPPPP/BQNNRKRB w KQkq - 0 1", true, "GEge"},
             FieldCase{"bqnnrkrb/pppppppp/8/8/8/8/PPPPPPPP/BQNNRKRB w GEge - 0 1", true, "GEge"},
             FieldCase{"bqnnrkrb/pppppppp/8/8/8/8/PPPPPPPP/BQNNRKRB w Kq - 0 1", true, "Ge"},
             // The outermost rook, or the one named: two positions, two keys.
             FieldCase{"4k3/8/8/8/8/8/8/RR2K3 w Q - 0 1", true, "A"},
             FieldCase{"4k3/8/8/8/8/8/8/RR2K3 w B - 0 1", true, "B"},
             // No rook there, or the king off its first rank: no right.
             FieldCase{"4k3/8/8/8/8/8/8/4K3 w KQ - 0 1", true, "-"},
             FieldCase{"4k3/8/8/8/8/8/4K3/R6R w AH - 0 1", true, "-"},
             FieldCase{"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", true, "HAha"},
             FieldCase{"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", false, "KQkq"},
         }) {
        SetPosition(pos, c.fen, c.chess960);
        const std::string fen = PositionToFen(pos, 0);
        EXPECT_EQ(
            fen.substr(fen.find(' ') + 3, fen.find(' ', fen.find(' ') + 3) - fen.find(' ') - 3),
            c.shredder)
            << c.fen;
    }
    auto key = [&pos](const char* fen, bool chess960) {
        SetPosition(pos, fen, chess960);
        EXPECT_EQ(pos.ply[0].key, ComputeKey(pos, 0)) << fen;
        return pos.ply[0].key;
    };
    EXPECT_NE(key("4k3/8/8/8/8/8/8/RR2K3 w Q - 0 1", true),
              key("4k3/8/8/8/8/8/8/RR2K3 w B - 0 1", true));
    EXPECT_EQ(key("r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1", true),
              key("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", false));
}

}  // namespace
