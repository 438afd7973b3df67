// The FEN reader, the board invariants and the keys it computes.
#include <gtest/gtest.h>

#include "board/fen.h"
#include "movemake/hash.h"

namespace {

bool HolesAreEmpty() {
    for (int s = 0; s < 256; ++s)
        if ((!OnBoard(s) || s >= 128) && Board[s] != 0) return false;
    return true;
}

TEST(Fen, StartPosition) {
    SetPosition(StartFen);
    const PlyState& ps = Ply[0];
    EXPECT_EQ(ps.material[0], 4800);
    EXPECT_EQ(ps.material[1], 4800);
    EXPECT_EQ(ps.kingSquare[0], E1);
    EXPECT_EQ(ps.kingSquare[1], E8);
    EXPECT_EQ(ps.queenSquare[0], D1);
    EXPECT_EQ(ps.queenSquare[1], D8);
    EXPECT_EQ(ps.castling, 15);
    EXPECT_EQ(ps.epSquare, NoSquare);
    EXPECT_EQ(ps.side, 0);
    EXPECT_EQ(ps.inCheck, 0);
    EXPECT_EQ(HistoryCount, 0);
    EXPECT_EQ(Board[E1], White | King);
    EXPECT_EQ(Board[0x44], 0);
    EXPECT_TRUE(BoardIsOk(0));
}

TEST(Fen, FourFieldTextIsReadCompletely) {
    SetPosition("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -");
    EXPECT_EQ(Ply[0].castling, 15);
    EXPECT_EQ(Board[0x22], White | Knight);  // c3
    EXPECT_EQ(Board[0x27], BlackPawn);       // h3
    EXPECT_EQ(Ply[0].queenSquare[1], 0x64);  // e7
    EXPECT_TRUE(BoardIsOk(0));
}

TEST(Fen, RankTexts) {
    SetPosition("8/8/8/8/4P3/8/8/8 w - -");
    EXPECT_EQ(Board[0x34], WhitePawn);
    for (const char* rank : {"44", "8", "9"}) {
        SetPosition(std::string("8/8/8/8/") + rank + "/8/8/8 w - -");
        for (int f = 0; f < 8; ++f) EXPECT_EQ(Board[0x30 + f], 0) << rank;
    }
    // An unknown character is one empty square; "0" is not a digit here.
    SetPosition("8/8/8/8/x0P5/8/8/8 w - -");
    EXPECT_EQ(Board[0x32], WhitePawn);
}

TEST(Fen, OverlongRanksNeverLeaveTheBoard) {
    for (const char* fen :
         {"RRRRRRRRRRRRRRRRRRRR/8/8/8/8/8/8/8 w - -", "99999999/pppppppppppppppp/8/8/8/8/8/8 b - -",
          "k7QQQQ/8/8/8/8/8/8/7K w - -", "7K9Q/////////q w KQkq e3", "/", "",
          "K7k7/8/8/8/8/8/8/8 w - -"}) {
        SetPosition(fen);
        EXPECT_TRUE(HolesAreEmpty()) << fen;
        EXPECT_TRUE(BoardIsOk(0)) << fen;
    }
    SetPosition("k7QQQQ/8/8/8/8/8/8/7K w - -");
    EXPECT_EQ(Ply[0].material[0], 0);  // the queens beyond the h-file were dropped
}

TEST(Fen, LastQueenAndKingMetAreTracked) {
    SetPosition("Q6Q/8/8/8/8/8/8/K3K3 w - -");
    EXPECT_EQ(Ply[0].queenSquare[0], H8);
    EXPECT_EQ(Ply[0].kingSquare[0], E1);
    EXPECT_EQ(Ply[0].material[0], 2400);
    SetPosition("8/8/8/8/8/8/8/8 w - -");
    EXPECT_EQ(Ply[0].kingSquare[0], A1);
    EXPECT_EQ(Ply[0].queenSquare[0], NoSquare);
}

TEST(Fen, SideToMoveFieldIsExact) {
    SetPosition("4k3/8/8/8/8/8/8/4K3 b - -");
    EXPECT_EQ(Ply[0].side, 1);
    SetPosition("4k3/8/8/8/8/8/8/4K3 w - -");
    // Anything but exactly "b" is white, whatever the previous position had.
    for (const char* fen : {"4k3/8/8/8/8/8/8/4K3 B - -", "4k3/8/8/8/8/8/8/4K3  - -",
                            "4k3/8/8/8/8/8/8/4K3 black - -", "4k3/8/8/8/8/8/8/4K3"}) {
        SetPosition("4k3/8/8/8/8/8/8/4K3 b - -");
        SetPosition(fen);
        EXPECT_EQ(Ply[0].side, 0) << fen;
    }
}

TEST(Fen, CastlingField) {
    for (const char* field : {"KQkq", "qkQK", "KQkq-"}) {
        SetPosition(std::string("r3k2r/8/8/8/8/8/8/R3K2R w ") + field + " -");
        EXPECT_EQ(Ply[0].castling, 15) << field;
    }
    SetPosition("r3k2r/8/8/8/8/8/8/R3K2R w - -");
    EXPECT_EQ(Ply[0].castling, 0);
    SetPosition("r3k2r/8/8/8/8/8/8/R3K2R w Kx -");
    EXPECT_EQ(Ply[0].castling, 1);
}

TEST(Fen, EnPassantSquareIsKeptOnlyWhenConsistent) {
    const std::string afterE4 = "4k3/8/8/8/3pP3/8/8/4K3 b - ";
    SetPosition(afterE4 + "e3");
    EXPECT_EQ(Ply[0].epSquare, 36);
    SetPosition(afterE4 + "E3");
    EXPECT_EQ(Ply[0].epSquare, 36);
    SetPosition("4k3/8/8/2Pp4/8/8/8/4K3 w - d6");
    EXPECT_EQ(Ply[0].epSquare, 83);
    // No pawn that passed, wrong side, occupied square, off the board, missing or short.
    for (const char* fen : {"4k3/8/8/8/8/8/8/4K3 b - e3", "4k3/8/8/8/3pP3/8/8/4K3 w - e3",
                            "4k3/8/8/8/3pP3/4N3/8/4K3 b - e3", "4k3/8/8/8/3pP3/8/8/4K3 b - z9",
                            "4k3/8/8/8/3pP3/8/8/4K3 b -", "4k3/8/8/8/3pP3/8/8/4K3 b - e",
                            "4k3/8/8/8/3pP3/8/8/4K3 b - e4"}) {
        SetPosition(fen);
        EXPECT_EQ(Ply[0].epSquare, NoSquare) << fen;
    }
}

TEST(Fen, InCheckFlag) {
    SetPosition("4k3/8/8/8/8/8/8/4K2r w - -");
    EXPECT_EQ(Ply[0].inCheck, 1);
    SetPosition("4k3/8/8/8/8/8/8/4K2r b - -");
    EXPECT_EQ(Ply[0].inCheck, 0);
    SetPosition("4k3/8/8/8/8/8/3p4/4K3 w - -");
    EXPECT_EQ(Ply[0].inCheck, 1);
}

TEST(Keys, ComputedFromScratch) {
    SetPosition("8/8/8/8/8/8/8/K6k w - -");
    EXPECT_EQ(Ply[0].pawnKey, 0u);
    uint64_t whiteKey = Ply[0].key;
    SetPosition("8/8/8/8/8/8/8/K6k b - -");
    EXPECT_EQ(Ply[0].key ^ whiteKey, ZobristSide);

    SetPosition("4k3/8/8/8/3pP3/8/8/4K3 b - e3");
    uint64_t withEp = Ply[0].key;
    SetPosition("4k3/8/8/8/3pP3/8/8/4K3 b - -");
    EXPECT_EQ(withEp ^ Ply[0].key, ZobristEp[36]);
    EXPECT_EQ(ZobristEp[NoSquare], 0u);

    SetPosition(StartFen);
    EXPECT_EQ(Ply[0].key, ComputeKey(0));
    EXPECT_NE(Ply[0].pawnKey, 0u);
}

TEST(Random, GeneratorFollowsItsRecurrence) {
    uint32_t saved = RandomSeed;
    SeedRandom(1);
    // seed := 1 * 134775813 + 1; the draw is the high half of seed * 65536.
    EXPECT_EQ(RandomDraw(65536), (134775814u >> 16));
    SeedRandom(0);
    uint32_t a = RandomDraw(65536), b = RandomDraw(65536);
    SeedRandom(0);
    EXPECT_EQ(Random32(), (a << 16) | b);
    SeedRandom(7);
    uint64_t r1 = RandomDraw(65536), r2 = RandomDraw(65536), r3 = RandomDraw(65536),
             r4 = RandomDraw(65536);
    SeedRandom(7);
    EXPECT_EQ(Random64(), (r1 << 48) | (r4 << 32) | (r3 << 16) | r2);
    SeedRandom(saved);
}

}  // namespace
