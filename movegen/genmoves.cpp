// The move generator: one pass over the pieces serves the full list and the capture list. The
// bitboards give each piece's targets at once; the order is the board's own: pieces from a1 to
// h8, each piece's moves by its offsets, each ray from the piece outwards.
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

// Writes a ply's list.
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
    // A move to `t`: a capture of what stands there, if anything.
    void AddTo(Square s, Square t) { Add(s, t, TypeOf(board[t])); }
};

// The place of each step in its piece's generation order, by 0x88 difference (+ 119): a line's
// steps by ray (KingOffsets, so a king's steps too), a knight's jumps by KnightOffsets. The two
// never share a difference.
struct StepOrderTable {
    uint8_t place[239];
};
constexpr StepOrderTable MakeStepOrder() {
    StepOrderTable table{};
    for (int i = 0; i < 8; ++i) {
        table.place[KnightOffsets[i] + 119] = uint8_t(i);
        for (int k = 1; k <= 7; ++k) table.place[KingOffsets[i] * k + 119] = uint8_t(i);
    }
    return table;
}
constexpr StepOrderTable StepOrder = MakeStepOrder();

// The moves from `s` to `targets`, in generation order: a knight's or king's steps, or a
// slider's captures (one per ray at most). Fit for a few targets: each finds its place.
void AddInOrderSlow(Writer& w, Square s, uint64_t targets) {
    Square at[8];
    unsigned places = 0;
    while (targets) {
        const Square t = PopFirstSquare(targets);
        const int place = StepOrder.place[t - s + 119];
        at[place] = t;
        places |= 1u << place;
    }
    for (; places; places &= places - 1) w.AddTo(s, at[__builtin_ctz(places)]);
}
inline void AddInOrder(Writer& w, Square s, uint64_t targets) {
    if (targets & (targets - 1))
        AddInOrderSlow(w, s, targets);
    else if (targets)
        w.AddTo(s, FirstSquare(targets));
}

// The squares a knight or a king reaches from each square, in offset order, with their bits
// and how many: most of them are targets in a full list, so they are walked in order.
struct StepTable {
    uint8_t count[128];
    Square squares[128][8];
    uint64_t bits[128][8];
};
constexpr StepTable MakeSteps(const int8_t (&offsets)[8]) {
    StepTable table{};
    for (int s = 0; s < 128; ++s)
        for (int8_t offset : offsets)
            if (OnBoard(s) && s + offset >= 0 && OnBoard(s + offset)) {
                table.squares[s][table.count[s]] = Square(s + offset);
                table.bits[s][table.count[s]++] = SquareBit(Square(s + offset));
            }
    return table;
}
constexpr StepTable KnightSteps = MakeSteps(KnightOffsets);
constexpr StepTable KingSteps = MakeSteps(KingOffsets);

// A knight's or king's steps to `targets`, in offset order.
void AddSteps(Writer& w, Square s, const StepTable& steps, uint64_t targets) {
    for (int i = 0; i < steps.count[s]; ++i)
        if (targets & steps.bits[s][i]) w.AddTo(s, steps.squares[s][i]);
}

// A slider's moves along ray `d`: its empty squares outwards, then the piece that ends it if
// it is an enemy.
template <int d>
inline void AddRay(Writer& w, Square s, uint64_t occupied, uint64_t enemy) {
    const uint64_t ray = Attacks.ray[d][s];
    if (!ray) return;
    constexpr int step = KingOffsets[d];
    const uint64_t blockers = ray & occupied;
    const Square end = blockers ? NearestOnRay(d, blockers)
                                : Square(NearestOnRay(d ^ 1, ray) + step);  // off the edge
    for (Square t = Square(s + step); t != end; t = Square(t + step)) w.Add(s, t);
    if (enemy & blockers & SquareBit(end)) w.AddTo(s, end);
}

// A slider's moves along rays first..last, in ray order.
template <int first, int last>
inline void AddRays(Writer& w, Square s, uint64_t occupied, uint64_t enemy) {
    AddRay<first>(w, s, occupied, enemy);
    if constexpr (first < last) AddRays<first + 1, last>(w, s, occupied, enemy);
}

// Castling needs the right, the king on its home square, empty squares between king and
// rook, a rook in the corner, and no attack on the king's start, transit and target squares.
// For the king the ply tracks, the start square is attacked exactly when the side is in
// check, which the ply records. Written for white; black's squares are its mirror.
template <int side>
void AddCastling(Writer& w, const Position& pos, const PlyState& ps, Square s) {
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
// single and double steps only in a full one. `targets` are the enemy pieces and the
// en-passant square.
template <bool quiets, int side>
void AddPawnMoves(Writer& w, const PlyState& ps, Square s, uint64_t targets) {
    const Piece* board = w.board;
    constexpr bool white = side == 0;
    constexpr int forward = white ? North : South;
    constexpr int captures[2] = {white ? NorthWest : SouthEast, white ? NorthEast : SouthWest};
    constexpr Piece enemyColour = white ? Black : White;
    if (Attacks.pawn[side][s] & targets)
        for (int d : captures) {
            const Square t = Square(s + d);
            if (!OnBoard(t)) continue;
            if (t == ps.epSquare) w.Add(s, t, Pawn);
            if (!(board[t] & enemyColour)) continue;
            const bool lastRank = white ? t >= A8 : t <= H1;
            if (lastRank)
                w.AddPromotions(s, t, TypeOf(board[t]));
            else
                w.Add(s, t, TypeOf(board[t]));
        }
    const Square t = Square(s + forward);
    if (!OnBoard(t) || board[t]) return;
    if (white ? t >= A8 : t <= H1) {
        w.AddPromotions(s, t, 0);
        return;
    }
    if constexpr (quiets) {
        w.Add(s, t);
        const bool thirdRank = (t >> 4) == (white ? 2 : 5);  // after one step
        const Square t2 = Square(t + forward);
        if (thirdRank && !board[t2]) w.Add(s, t2);
    }
}

// The pawns of `side` with a move in the capture list: those that take something in
// `targets` (the enemy pieces and the en-passant square) or stand on their seventh rank.
uint64_t ActivePawns(uint64_t pawns, int side, uint64_t targets) {
    constexpr uint64_t fileA = 0x0101010101010101ull, fileH = fileA << 7;
    if (side == 0)
        return pawns & (((targets >> 7) & ~fileA) | ((targets >> 9) & ~fileH) | 0xFFull << 48);
    return pawns & (((targets << 7) & ~fileH) | ((targets << 9) & ~fileA) | 0xFFull << 8);
}

// One list for the side to move, `side`, at compile time: `quiets` for the full list.
template <bool quiets, int side>
int Generate(Position& pos, PlyState& ps, Move* list) {
    const uint64_t own = pos.byColour[side], enemy = pos.byColour[side ^ 1];
    const uint64_t occupied = own | enemy;
    const uint64_t targets = quiets ? ~own : enemy;
    Writer w{pos.board, list, 0};
    // What a pawn takes: the enemy pieces and the en-passant square.
    const uint64_t pawnTargets = enemy | (ps.epSquare == NoSquare ? 0 : SquareBit(ps.epSquare));
    uint64_t pieces = own;
    if constexpr (!quiets) {
        // Pawns without a capture or promotion have nothing for this list.
        const uint64_t pawns = PiecesOf(pos, side, Pawn);
        pieces = (own & ~pawns) | ActivePawns(pawns, side, pawnTargets);
    }
    while (pieces) {
        const Square s = PopFirstSquare(pieces);
        switch (TypeOf(pos.board[s])) {
            case King:
                if constexpr (quiets) {
                    AddCastling<side>(w, pos, ps, s);
                    AddSteps(w, s, KingSteps, targets);
                } else {
                    AddInOrder(w, s, Attacks.king[s] & targets);
                }
                break;
            case Queen:
                if constexpr (quiets)
                    AddRays<0, 7>(w, s, occupied, enemy);
                else
                    AddInOrder(w, s,
                               (RookAttacks(s, occupied) | BishopAttacks(s, occupied)) & enemy);
                break;
            case Rook:
                if constexpr (quiets)
                    AddRays<0, FirstDiagonalRay - 1>(w, s, occupied, enemy);
                else
                    AddInOrder(w, s, RookAttacks(s, occupied) & enemy);
                break;
            case Bishop:
                if constexpr (quiets)
                    AddRays<FirstDiagonalRay, 7>(w, s, occupied, enemy);
                else
                    AddInOrder(w, s, BishopAttacks(s, occupied) & enemy);
                break;
            case Knight:
                if constexpr (quiets)
                    AddSteps(w, s, KnightSteps, targets);
                else
                    AddInOrder(w, s, Attacks.knight[s] & targets);
                break;
            case Pawn:
                AddPawnMoves<quiets, side>(w, ps, s, pawnTargets);
                break;
            default:
                break;
        }
    }
    return w.n;
}

}  // namespace

template <ListKind kind>
void GenerateList(Position& pos, int ply) {
    constexpr bool quiets = kind == ListKind::AllMoves;
    PlyState& ps = pos.ply[ply];
    ps.moveCount = ps.side == 0 ? Generate<quiets, 0>(pos, ps, pos.moves[ply])
                                : Generate<quiets, 1>(pos, ps, pos.moves[ply]);
}

template void GenerateList<ListKind::AllMoves>(Position& pos, int ply);
template void GenerateList<ListKind::Captures>(Position& pos, int ply);

void GenerateMoves(Position& pos, int ply) { GenerateList<ListKind::AllMoves>(pos, ply); }
