// The capture generator: the full generator's list without its quiet non-promotion moves.
#include "movegen/genkills.h"

#include "movegen/attack.h"
#include "movegen/genmoves.h"

namespace {

const int8_t RookRays[4] = {East, West, North, South};
const int8_t BishopRays[4] = {NorthWest, SouthEast, NorthEast, SouthWest};

inline void Add(Move* list, int& n, int from, int to, int captured, int promotion = 0) {
    list[++n] = MakeMoveWord(from, to, captured, promotion);
}

inline void AddPromotions(Move* list, int& n, int from, int to, int captured) {
    for (int promotion = Queen; promotion <= Knight; ++promotion)
        Add(list, n, from, to, captured, promotion);
}

inline void AddStepCaptures(Move* list, int& n, Square s, const int8_t* offsets, Piece enemy) {
    for (int i = 0; i < 8; ++i) {
        Square t = Square(s + offsets[i]);
        if (OnBoard(t) && (Board[t] & enemy)) Add(list, n, s, t, TypeOf(Board[t]));
    }
}

inline void AddRayCaptures(Move* list, int& n, Square s, const int8_t* rays, int count,
                           Piece enemy) {
    for (int i = 0; i < count; ++i) {
        Square t = Square(s + rays[i]);
        while (OnBoard(t) && !Board[t]) t = Square(t + rays[i]);
        if (OnBoard(t) && (Board[t] & enemy)) Add(list, n, s, t, TypeOf(Board[t]));
    }
}

}  // namespace

void GenerateCaptures(int ply) {
    PlyState& ps = Ply[ply];
    const bool white = ps.side == 0;
    const Piece own = white ? White : Black, enemy = white ? Black : White;
    const int forward = white ? North : South;
    const int pawnCaptures[2] = {white ? NorthWest : SouthEast, white ? NorthEast : SouthWest};
    Move* list = MoveTable[ply];
    int n = 0;
    ForEachPiece(own == White ? WhiteBits : BlackBits, [&](Square s) {
        switch (TypeOf(Board[s])) {
            case King:
                AddStepCaptures(list, n, s, KingOffsets, enemy);
                break;
            case Knight:
                AddStepCaptures(list, n, s, KnightOffsets, enemy);
                break;
            case Queen:
                AddRayCaptures(list, n, s, KingOffsets, 8, enemy);
                break;
            case Rook:
                AddRayCaptures(list, n, s, RookRays, 4, enemy);
                break;
            case Bishop:
                AddRayCaptures(list, n, s, BishopRays, 4, enemy);
                break;
            case Pawn: {
                for (int d : pawnCaptures) {
                    Square t = Square(s + d);
                    if (!OnBoard(t)) continue;
                    if (t == ps.epSquare) Add(list, n, s, t, Pawn);
                    if (!(Board[t] & enemy)) continue;
                    if (white ? t >= A8 : t <= H1)
                        AddPromotions(list, n, s, t, TypeOf(Board[t]));
                    else
                        Add(list, n, s, t, TypeOf(Board[t]));
                }
                Square t = Square(s + forward);
                if (OnBoard(t) && !Board[t] && (white ? t >= A8 : t <= H1))
                    AddPromotions(list, n, s, t, 0);
                break;
            }
            default:
                break;
        }
    });
    ps.moveCount = n;
}
