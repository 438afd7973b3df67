// The move generator: one pass over the pieces serves the full list and the capture list.
#include "movegen/genmoves.h"

#include <cassert>

#include "movegen/attack.h"

std::string MoveToText(Move m) {
    if (m == NoMove) return "0000";
    std::string text = SquareNames[FromOf(m) & 127];
    text += SquareNames[ToOf(m) & 127];
    if (PromotionOf(m)) text += PieceLetters[7 + PromotionOf(m)];
    return text;
}

namespace {

const int8_t RookRays[4] = {East, West, North, South};
const int8_t BishopRays[4] = {NorthWest, SouthEast, NorthEast, SouthWest};

// Writes a ply's list. `quiets` tells the kind of list: every pseudo-legal move, or only the
// captures and promotions (then every quiet addition below compiles away).
template <bool quiets>
struct Writer {
    const Piece* board;
    Move* list;  // slot 0 unused
    int n;
    void Add(int from, int to, int captured = 0, int promotion = 0) {
        list[++n] = MakeMoveWord(from, to, captured, promotion);
    }
    void AddPromotions(int from, int to, int captured) {
        for (int promotion = Queen; promotion <= Knight; ++promotion)
            Add(from, to, captured, promotion);
    }
    // A move to `t` by a king or knight, or a slider's step; quiet ones only in a full list.
    void AddTo(Square s, Square t) {
        if (board[t] == 0) {
            if constexpr (quiets) Add(s, t);
        } else {
            Add(s, t, TypeOf(board[t]));
        }
    }
};

template <bool quiets>
void AddSteps(Writer<quiets>& w, Square s, const StepTable& steps, Piece own) {
    for (int i = 0; i < steps.count[s]; ++i) {
        const Square t = steps.squares[s][i];
        if (!(w.board[t] & own)) w.AddTo(s, t);
    }
}

template <bool quiets>
void AddRays(Writer<quiets>& w, Square s, const int8_t* rays, int count, Piece own) {
    for (int i = 0; i < count; ++i) {
        Square t = Square(s + rays[i]);
        for (; OnBoard(t) && w.board[t] == 0; t = Square(t + rays[i]))
            if constexpr (quiets) w.Add(s, t);
        if (OnBoard(t) && !(w.board[t] & own)) w.Add(s, t, TypeOf(w.board[t]));
    }
}

// Castling needs the right, the king on its home square, empty squares between king and
// rook, a rook in the corner, and no attack on the king's start, transit and target squares.
// For the king the ply tracks, the start square is attacked exactly when the side is in
// check, which the ply records. Written for white; black's squares are its mirror.
template <int side>
void AddCastling(Writer<true>& w, const Position& pos, const PlyState& ps, Square s) {
    constexpr auto at = [](Square sq) { return RelativeSquare(side, sq); };
    constexpr uint8_t shortRight = CastleWK << 2 * side, longRight = CastleWQ << 2 * side;
    const Piece* board = pos.board;
    if (s != at(E1)) return;
    const bool tracked = s == ps.kingSquare[side];
    assert(!tracked || ps.inCheck == IsAttacked(pos, side, 0, s));
    auto startAttacked = [&] { return tracked ? ps.inCheck != 0 : IsAttacked(pos, side, 0, s); };
    auto attacked = [&pos, at](Square sq) { return IsAttacked(pos, side, 0, at(sq)); };
    if ((ps.castling & shortRight) && !board[at(F1)] && !board[at(G1)] &&
        TypeOf(board[at(H1)]) == Rook && !startAttacked() && !attacked(F1) && !attacked(G1))
        w.Add(at(E1), at(G1));
    if ((ps.castling & longRight) && !board[at(D1)] && !board[at(C1)] && !board[at(B1)] &&
        TypeOf(board[at(A1)]) == Rook && !startAttacked() && !attacked(D1) && !attacked(C1))
        w.Add(at(E1), at(C1));
}

// Captures (en passant first on each side), then the push: promotions in every list, the
// single and double steps only in a full one.
template <bool quiets>
void AddPawnMoves(Writer<quiets>& w, const PlyState& ps, Square s, Piece enemy) {
    const Piece* board = w.board;
    const bool white = ps.side == 0;
    const int forward = white ? North : South;
    const int captures[2] = {white ? NorthWest : SouthEast, white ? NorthEast : SouthWest};
    for (int d : captures) {
        const Square t = Square(s + d);
        if (!OnBoard(t)) continue;
        if (t == ps.epSquare) w.Add(s, t, Pawn);
        if (board[t] & enemy) {
            const bool lastRank = white ? t >= A8 : t <= H1;
            if (lastRank)
                w.AddPromotions(s, t, TypeOf(board[t]));
            else
                w.Add(s, t, TypeOf(board[t]));
        }
    }
    const Square t = Square(s + forward);
    if (!OnBoard(t) || board[t]) return;
    if (white ? t >= A8 : t <= H1) {
        w.AddPromotions(s, t, 0);
        return;
    }
    if constexpr (quiets) {
        w.Add(s, t);
        const bool thirdRank = white ? (t >> 4) == 2 : (t >> 4) == 5;  // after one step
        const Square t2 = Square(t + forward);
        if (thirdRank && !board[t2]) w.Add(s, t2);
    }
}

}  // namespace

template <ListKind kind>
void GenerateList(Position& pos, int ply) {
    constexpr bool quiets = kind == ListKind::AllMoves;
    PlyState& ps = pos.ply[ply];
    const Piece own = ps.side ? Black : White, enemy = ps.side ? White : Black;
    Writer<quiets> w{pos.board, pos.moves[ply], 0};
    ForEachPiece(pos, own == White ? WhiteBits : BlackBits, [&](Square s) {
        switch (TypeOf(pos.board[s])) {
            case King:
                if constexpr (quiets) {
                    if (ps.side == 0)
                        AddCastling<0>(w, pos, ps, s);
                    else
                        AddCastling<1>(w, pos, ps, s);
                }
                AddSteps(w, s, KingSteps, own);
                break;
            case Queen:
                AddRays(w, s, KingOffsets, 8, own);
                break;
            case Rook:
                AddRays(w, s, RookRays, 4, own);
                break;
            case Bishop:
                AddRays(w, s, BishopRays, 4, own);
                break;
            case Knight:
                AddSteps(w, s, KnightSteps, own);
                break;
            case Pawn:
                AddPawnMoves(w, ps, s, enemy);
                break;
            default:
                break;
        }
    });
    ps.moveCount = w.n;
}

template void GenerateList<ListKind::AllMoves>(Position& pos, int ply);
template void GenerateList<ListKind::Captures>(Position& pos, int ply);

void GenerateMoves(Position& pos, int ply) { GenerateList<ListKind::AllMoves>(pos, ply); }
