// Make and take back: worked cases, and properties checked over random playouts.
#include "movemake/movemake.h"

#include <gtest/gtest.h>

#include <cstring>

#include "board/fen.h"
#include "movegen/attack.h"
#include "movegen/genmoves.h"
#include "movemake/hash.h"
#include "tests/support.h"

namespace {

const char* PlayoutStarts[] = {
    StartFen,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "4k3/8/8/2Pp4/8/8/8/4K3 w - d6",
};

Move FindMove(int ply, const char* text) {
    GenerateMoves(ply);
    for (int k = 1; k <= Ply[ply].moveCount; ++k)
        if (MoveToText(MoveTable[ply][k]) == text) return MoveTable[ply][k];
    return NoMove;
}

// Plays the move on the board by hand and asks the full attack scan whether the mover's king
// is attacked afterwards: an answer independent of the make operations' short cuts.
bool ExposesKingByFullScan(Move m, int ply) {
    Piece saved[256];
    std::memcpy(saved, Board, sizeof Board);
    const int us = Ply[ply].side;
    const Square from = FromOf(m), to = ToOf(m);
    Square king = Ply[ply].kingSquare[us];
    if (TypeOf(Board[from]) == King) {
        king = to;
        if (from == (us ? E8 : E1) && (to == (us ? G8 : G1) || to == (us ? C8 : C1))) {
            Square rookFrom = Square(to == (us ? G8 : G1) ? from + 3 : from - 4);
            Square rookTo = Square(to == (us ? G8 : G1) ? from + 1 : from - 1);
            Board[rookTo] = Board[rookFrom];
            Board[rookFrom] = 0;
        }
    }
    if (TypeOf(Board[from]) == Pawn && to == Ply[ply].epSquare && CapturedOf(m))
        Board[Square(to + (us ? 16 : -16))] = 0;
    Board[to] = Board[from];
    Board[from] = 0;
    const bool exposed = IsAttacked(uint8_t(us), 0, king);
    std::memcpy(Board, saved, sizeof Board);
    return exposed;
}

// Makes every generated move at `ply` with all three makes and checks what must hold.
void CheckEveryMove(int ply) {
    GenerateMoves(ply);
    Piece before[256];
    std::memcpy(before, Board, sizeof Board);
    PlyState record = Ply[ply];
    for (int k = 1; k <= Ply[ply].moveCount; ++k) {
        Move m = MoveTable[ply][k];
        const bool exposes = ExposesKingByFullScan(m, ply);
        const bool castling = TypeOf(Board[FromOf(m)]) == King &&
                              (ToOf(m) == FromOf(m) + 2 || ToOf(m) == FromOf(m) - 2);
        const bool enPassant = CapturedOf(m) && Board[ToOf(m)] == 0;
        const bool checkForeseen = !castling && !enPassant && WouldGiveCheck(m, ply);
        Checkers checkers;
        FindCheckers(Ply[ply].side, Ply[ply].kingSquare[Ply[ply].side], checkers);
        const bool hopeless =
            Ply[ply].inCheck && CannotEscapeCheck(m, Ply[ply].kingSquare[Ply[ply].side], checkers);
        bool legal = MakeMove(m, ply, Ply[ply].inCheck ? &checkers : nullptr);
        ASSERT_EQ(legal, !exposes) << MoveToText(m) << " in " << PositionToFen(ply);
        ASSERT_FALSE(legal && hopeless) << MoveToText(m) << " was wrongly ruled out";
        if (legal) {
            ASSERT_EQ(Ply[ply + 1].key, ComputeKey(ply + 1)) << MoveToText(m);
            ASSERT_EQ(Ply[ply + 1].pawnKey, ComputePawnKey()) << MoveToText(m);
            ASSERT_TRUE(BoardIsOk(ply + 1)) << MoveToText(m);
            // Playouts reach only legal positions, where checks can be read off the move.
            const bool check = IsAttacked(Ply[ply + 1].side, uint8_t(ply + 1), NoSquare);
            ASSERT_EQ(GivesCheck(m, ply), check) << MoveToText(m);
            if (!castling && !enPassant) {
                ASSERT_EQ(checkForeseen, check) << MoveToText(m);
            }
            TakeBack(m, ply);
        }
        ASSERT_EQ(std::memcmp(before, Board, sizeof Board), 0) << MoveToText(m);
        bool capture = MakeCapture(m, ply);
        if (capture) {
            ASSERT_EQ(Ply[ply + 1].pawnKey, ComputePawnKey());
            ASSERT_EQ(Ply[ply + 1].epSquare, NoSquare);
            TakeBack(m, ply);
        }
        bool trial = MakeTrial(m, ply);
        if (trial) TakeBack(m, ply);
        ASSERT_EQ(capture, legal) << MoveToText(m);
        ASSERT_EQ(trial, legal) << MoveToText(m);
        ASSERT_EQ(std::memcmp(before, Board, sizeof Board), 0) << MoveToText(m);
        ASSERT_EQ(std::memcmp(&record, &Ply[ply], sizeof record), 0) << MoveToText(m);
    }
}

TEST(MakeMove, PropertiesHoldOverRandomPlayouts) {
    SeedRandom(99);
    for (const char* fen : PlayoutStarts) {
        for (int game = 0; game < 12; ++game) {
            SetPosition(fen);
            for (int ply = 0; ply < 80; ++ply) {
                CheckEveryMove(ply);
                if (testing::Test::HasFatalFailure()) return;
                GenerateMoves(ply);
                int n = Ply[ply].moveCount, legal = 0;
                Move chosen = NoMove;
                for (int k = 1; k <= n; ++k) {
                    Move m = MoveTable[ply][k];
                    if (!MakeTrial(m, ply)) continue;
                    TakeBack(m, ply);
                    if (RandomDraw(uint32_t(++legal)) == 0) chosen = m;  // uniform pick
                }
                if (chosen == NoMove) break;
                ASSERT_TRUE(MakeMove(chosen, ply));
                Ply[ply + 1].inCheck = IsAttacked(Ply[ply + 1].side, uint8_t(ply + 1), NoSquare);
            }
        }
    }
}

TEST(MakeMove, EnPassantSquareOnlyWhenUsable) {
    SetPosition(StartFen);
    ASSERT_TRUE(MakeMove(FindMove(0, "e2e4"), 0));
    EXPECT_EQ(Ply[1].epSquare, NoSquare);
    SetPosition("4k3/8/8/8/3p4/8/4P3/4K3 w - -");
    ASSERT_TRUE(MakeMove(FindMove(0, "e2e4"), 0));
    EXPECT_EQ(Ply[1].epSquare, 36);
    EXPECT_EQ(Ply[1].key, ComputeKey(1));
    // The capture removes the pawn and take-back brings it back.
    Ply[1].inCheck = 0;
    Move ep = FindMove(1, "d4e3");
    ASSERT_NE(ep, NoMove);
    ASSERT_TRUE(MakeMove(ep, 1));
    EXPECT_EQ(Board[0x34], 0);
    EXPECT_EQ(Board[0x24], BlackPawn);
    EXPECT_EQ(Ply[2].pawnKey, ComputePawnKey());
    TakeBack(ep, 1);
    EXPECT_EQ(Board[0x34], WhitePawn);
    EXPECT_EQ(Board[0x24], 0);
    EXPECT_EQ(Board[0x33], BlackPawn);
}

TEST(MakeMove, CastlingMovesTheRookAndDropsTheRights) {
    SetPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    Move castle = FindMove(0, "e1g1");
    ASSERT_TRUE(MakeMove(castle, 0));
    EXPECT_EQ(Board[F1], White | Rook);
    EXPECT_EQ(Board[H1], 0);
    EXPECT_EQ(Ply[1].castling, CastleBK | CastleBQ);
    EXPECT_EQ(Ply[1].key, ComputeKey(1));
    TakeBack(castle, 0);
    EXPECT_EQ(Board[H1], White | Rook);
    EXPECT_EQ(Board[E1], White | King);
    EXPECT_EQ(Board[F1], 0);
    Move rook = FindMove(0, "h1h2");
    ASSERT_TRUE(MakeMove(rook, 0));
    EXPECT_EQ(Ply[1].castling, CastleWQ | CastleBK | CastleBQ);
}

TEST(MakeMove, CornerCaptureEndsTheOpponentsRight) {
    SetPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    Move take = FindMove(0, "h1h8");
    ASSERT_TRUE(MakeMove(take, 0));
    EXPECT_EQ(Ply[1].castling, CastleWQ | CastleBQ);  // own h-rook left, black's h8 taken
    EXPECT_EQ(Ply[1].key, ComputeKey(1));
}

TEST(MakeMove, PromotionCaptureAndQueenTracking) {
    SetPosition("r3k3/1P6/8/8/8/8/8/4K3 w - -");
    int32_t black = Ply[0].material[1], white = Ply[0].material[0];
    Move promo = FindMove(0, "b7a8q");
    ASSERT_TRUE(MakeMove(promo, 0));
    EXPECT_EQ(Ply[1].material[1], black - 600);
    EXPECT_EQ(Ply[1].material[0], white + 1100);
    EXPECT_EQ(Board[A8], White | Queen);
    EXPECT_EQ(Ply[1].queenSquare[0], NoSquare);  // a promoted queen is not tracked
    TakeBack(promo, 0);
    EXPECT_EQ(Board[0x61], WhitePawn);
    EXPECT_EQ(Board[A8], Black | Rook);

    SetPosition("4k3/8/8/3q4/8/8/8/3RK3 w - -");
    Move take = FindMove(0, "d1d5");
    ASSERT_TRUE(MakeMove(take, 0));
    EXPECT_EQ(Ply[1].queenSquare[1], NoSquare);
}

TEST(MakeMove, IllegalMoveRestoresTheBoard) {
    SetPosition("4k3/8/8/8/8/8/4r3/4K3 w - -");
    Piece before[256];
    std::memcpy(before, Board, sizeof Board);
    Move step = FindMove(0, "e1f2");  // onto the rook's rank
    ASSERT_NE(step, NoMove);
    EXPECT_FALSE(MakeMove(step, 0));
    EXPECT_EQ(std::memcmp(before, Board, sizeof Board), 0);
    SetPosition("4k3/4r3/8/8/8/8/4N3/4K3 w - -");
    std::memcpy(before, Board, sizeof Board);
    EXPECT_FALSE(MakeMove(FindMove(0, "e2c3"), 0));  // the knight is pinned
    EXPECT_EQ(std::memcmp(before, Board, sizeof Board), 0);
}

}  // namespace
