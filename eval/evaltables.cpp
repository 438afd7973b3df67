// The evaluation tables. Square tables are written as seen from white, rank 8 at the top.
#include <cmath>

#include "eval/eval.h"

namespace {

using Diagram = int8_t[64];

// Turns a diagram (rank 8 first) into the white and black 0x88 tables.
struct Table {
    int8_t t[2][128];
};
constexpr Table FromDiagram(const Diagram& d) {
    Table table{};
    for (int rank = 0; rank < 8; ++rank)
        for (int file = 0; file < 8; ++file) {
            int s = rank * 16 + file;
            table.t[0][s] = d[(7 - rank) * 8 + file];
            table.t[1][s ^ 0x70] = table.t[0][s];
        }
    return table;
}

constexpr Diagram KingDiagram = {
    -40, -40, -40, -40, -40, -40, -40, -40,  //
    -40, -40, -40, -40, -40, -40, -40, -40,  //
    -40, -40, -40, -40, -40, -40, -40, -40,  //
    -40, -40, -40, -40, -40, -40, -40, -40,  //
    -40, -40, -40, -40, -40, -40, -40, -40,  //
    -40, -40, -40, -40, -40, -40, -40, -40,  //
    -10, -10, -20, -40, -40, -25, 0,   10,   //
    30,  30,  20,  -30, -20, -30, 30,  30,
};
constexpr Diagram KingEndDiagram = {
    0, 3,  6,  9,  9,  6,  3,  0,  //
    3, 6,  9,  12, 12, 9,  6,  3,  //
    6, 9,  12, 15, 15, 12, 9,  8,  //
    9, 12, 15, 18, 18, 15, 12, 9,  //
    9, 12, 15, 18, 18, 15, 12, 9,  //
    6, 9,  12, 15, 15, 12, 9,  8,  //
    3, 6,  9,  12, 12, 9,  6,  3,  //
    0, 3,  6,  9,  9,  6,  3,  0,
};
constexpr Diagram QueenDiagram = {
    -15, -5, 5,  5,  5,  5,  -5, -15,  //
    -10, -5, 5,  5,  5,  5,  -5, -10,  //
    -5,  -5, 5,  15, 15, 5,  -5, -5,   //
    -5,  -5, 5,  15, 15, 5,  -5, -5,   //
    -2,  -5, 5,  15, 15, 5,  -5, -2,   //
    0,   5,  10, 10, 10, 10, 5,  0,    //
    0,   5,  10, 10, 10, 10, 5,  0,    //
    0,   5,  8,  8,  8,  8,  5,  0,
};
constexpr Diagram RookDiagram = {
    2, 4, 6, 8, 8, 6, 4, 2,  //
    2, 4, 6, 8, 8, 6, 4, 2,  //
    2, 4, 6, 8, 8, 6, 4, 2,  //
    2, 4, 6, 8, 8, 6, 4, 2,  //
    2, 4, 6, 8, 8, 6, 4, 2,  //
    2, 4, 6, 8, 8, 6, 4, 2,  //
    2, 4, 6, 8, 8, 6, 4, 2,  //
    2, 4, 6, 8, 8, 6, 4, 2,
};
constexpr Diagram BishopDiagram = {
    0,   -10, -5,  -5, -5, -5,  -5,  0,    //
    -10, 5,   0,   0,  0,  0,   5,   -10,  //
    0,   0,   7,   0,  0,  7,   0,   0,    //
    -5,  0,   5,   10, 10, 5,   0,   -5,   //
    -5,  0,   5,   10, 10, 5,   0,   -5,   //
    -5,  0,   5,   0,  0,  5,   0,   -5,   //
    -10, 6,   0,   0,  0,  0,   6,   -10,  //
    0,   -13, -13, -5, -5, -13, -13, 0,
};
constexpr Diagram KnightDiagram = {
    -45, 0,   0,  0,  0,  0,  0,   -45,  //
    -30, 5,   8,  8,  8,  8,  5,   -30,  //
    0,   5,   19, 24, 24, 19, 5,   0,    //
    -15, 2,   15, 16, 16, 15, 2,   -15,  //
    -15, 0,   7,  7,  7,  7,  0,   -15,  //
    -15, 0,   2,  1,  1,  2,  0,   -15,  //
    -15, 0,   0,  0,  0,  0,  0,   -15,  //
    -45, -14, -8, -8, -8, -8, -14, -45,
};
constexpr Diagram PawnDiagram = {
    99, 99, 99, 99,  99,  99, 99, 99,  //
    15, 18, 26, 30,  30,  26, 18, 15,  //
    10, 12, 15, 20,  20,  15, 12, 10,  //
    3,  6,  12, 15,  15,  12, 6,  3,   //
    2,  5,  10, 13,  13,  10, 5,  2,   //
    1,  4,  8,  0,   0,   8,  4,  1,   //
    0,  3,  6,  -15, -15, 6,  3,  0,   //
    0,  0,  0,  0,   0,   0,  0,  0,
};

constexpr Table KingT = FromDiagram(KingDiagram), KingEndT = FromDiagram(KingEndDiagram),
                QueenT = FromDiagram(QueenDiagram), RookT = FromDiagram(RookDiagram),
                BishopT = FromDiagram(BishopDiagram), KnightT = FromDiagram(KnightDiagram),
                PawnT = FromDiagram(PawnDiagram);

// 20 + 10 per step away from the long light diagonal, 100 in the light corners themselves.
struct Corners {
    int8_t light[128], dark[128], darkSquare[128];
};
constexpr Corners MakeCorners() {
    Corners c{};
    for (int rank = 0; rank < 8; ++rank)
        for (int file = 0; file < 8; ++file) {
            int s = rank * 16 + file, gap = rank > file ? rank - file : file - rank;
            c.light[s] = int8_t(gap == 7 ? 100 : 20 + 10 * gap);
            c.darkSquare[s] = (rank + file) % 2 == 0;
        }
    for (int s = 0; s < 128; ++s)
        if ((s & 0x88) == 0) c.dark[s] = c.light[s ^ 0x70];
    return c;
}
constexpr Corners CornerTables = MakeCorners();

}  // namespace

const SquareTable& KingSquareTable = KingT.t;
const SquareTable& KingEndSquareTable = KingEndT.t;
const SquareTable& QueenSquareTable = QueenT.t;
const SquareTable& RookSquareTable = RookT.t;
const SquareTable& BishopSquareTable = BishopT.t;
const SquareTable& KnightSquareTable = KnightT.t;
const SquareTable& PawnSquareTable = PawnT.t;

const int8_t (&LightCornerTable)[128] = CornerTables.light;
const int8_t (&DarkCornerTable)[128] = CornerTables.dark;
const int8_t (&DarkSquare)[128] = CornerTables.darkSquare;

const uint8_t ShieldPenalty[8] = {0, 0, 10, 20, 30, 35, 25, 0};
const uint8_t DoubledPenalty[8] = {8, 7, 6, 6, 6, 6, 7, 8};
const uint8_t IsolatedPenalty[8] = {13, 13, 15, 17, 17, 15, 13, 13};
const uint8_t PassedBonus[8] = {0, 10, 20, 30, 50, 70, 100, 0};

uint8_t Distance[128][128];
uint8_t FileOf[128];
uint8_t RankOf[128];

void InitDistance() {
    for (int a = 0; a < 128; ++a) {
        bool real = (a & 0x88) == 0;
        FileOf[a] = real ? uint8_t(a & 7) : 0;
        RankOf[a] = real ? uint8_t(a >> 4) : 0;
        for (int b = 0; b < 128; ++b) {
            Distance[a][b] = 0;
            if (!real || (b & 0x88)) continue;
            int df = (a & 7) - (b & 7), dr = (a >> 4) - (b >> 4);
            Distance[a][b] = uint8_t(std::sqrt(double(df * df + dr * dr)));
        }
    }
}
