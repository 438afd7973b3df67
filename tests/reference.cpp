// The attack questions by ray walks over the 0x88 board: the reference for the bitboards.
#include "tests/reference.h"

#include <algorithm>
#include <cassert>

#include "movegen/genmoves.h"
#include "movegen/move.h"

namespace reference {

namespace {

inline bool IsDiagonal(int step) {
    return step == NorthEast || step == NorthWest || step == SouthEast || step == SouthWest;
}

// The unit step from one square towards another when both lie on one rank, file or diagonal,
// else 0; indexed by the 0x88 difference (to - from) + 119, which is unique per direction
// and distance on a 0x88 board.
struct LineStepTable {
    int8_t step[239];
};
constexpr LineStepTable MakeLineSteps() {
    LineStepTable table{};
    const int8_t directions[8] = {East,      West,      North,     South,
                                  NorthWest, SouthEast, NorthEast, SouthWest};
    for (int8_t d : directions)
        for (int k = 1; k <= 7; ++k) table.step[d * k + 119] = d;
    return table;
}
inline constexpr LineStepTable LineStep = MakeLineSteps();

// The unit step from `from` towards `to` along their rank, file or diagonal, else 0.
inline int8_t LineStepBetween(Square from, Square to) { return LineStep.step[to - from + 119]; }

// The pieces of one rank read as one word, a byte per file (file a lowest).
inline uint64_t RankWord(const Position& pos, int rank) {
    uint64_t word;
    __builtin_memcpy(&word, &pos.board[rank * 16], sizeof word);
    return word;
}

// Colour bits of all eight cells of a rank word.
constexpr uint64_t WhiteBits = 0x4040404040404040ull, BlackBits = 0x8080808080808080ull;

// Visits, in ascending order, the squares whose cells `select` marks: it maps a rank's word to
// a word with a bit set somewhere in the byte of each chosen cell. Scanning the board a rank at
// a time skips empty ranks and squares at once, and keeps the order of a plain a1..h8 scan.
template <typename Select, typename Visit>
inline void ForEachSquare(const Position& pos, Select&& select, Visit&& visit) {
    for (int rank = 0; rank < 8; ++rank) {
        uint64_t bits = select(RankWord(pos, rank));
        while (bits) {
            visit(Square(rank * 16 + (__builtin_ctzll(bits) >> 3)));
            bits &= bits - 1;
        }
    }
}

// Visits the squares holding a piece with one of `colourBits` set, in ascending order.
template <typename Visit>
inline void ForEachPiece(const Position& pos, uint64_t colourBits, Visit&& visit) {
    ForEachSquare(
        pos, [colourBits](uint64_t word) { return word & colourBits; }, visit);
}

// The squares a knight or a king reaches from each square, in offset order, and how many:
// walking them needs no test for the board's edge.
struct StepTable {
    uint8_t count[128];
    Square squares[128][8];
};
constexpr StepTable MakeSteps(const int8_t (&offsets)[8]) {
    StepTable table{};
    for (int s = 0; s < 128; ++s)
        for (int8_t offset : offsets)
            if (OnBoard(s) && s + offset >= 0 && OnBoard(s + offset))
                table.squares[s][table.count[s]++] = Square(s + offset);
    return table;
}
inline constexpr StepTable KnightSteps = MakeSteps(KnightOffsets);
inline constexpr StepTable KingSteps = MakeSteps(KingOffsets);

}  // namespace

void FindCheckers(const Position& pos, uint8_t side, Square square, Checkers& out) {
    const Piece* board = pos.board;
    const Piece enemy = side ? White : Black;
    out.count = 0;
    auto add = [&out](Square s) {
        if (out.count < MaxCheckers) out.squares[out.count] = s;
        ++out.count;
    };
    for (int i = 0; i < KnightSteps.count[square]; ++i)
        if (board[KnightSteps.squares[square][i]] == (enemy | Knight))
            add(KnightSteps.squares[square][i]);
    for (int i = 0; i < 8; ++i) {
        Square t = Square(square + KingOffsets[i]);
        while (OnBoard(t) && board[t] == 0) t = Square(t + KingOffsets[i]);
        if (OnBoard(t) && (board[t] & enemy) && reference::PieceAttacks(pos, t, square)) add(t);
    }
}

void FindPins(const Position& pos, uint8_t side, Square king, WalkedPins& out) {
    const Piece* board = pos.board;
    const Piece own = side ? Black : White, enemy = side ? White : Black;
    out.count = 0;
    for (int i = 0; i < 8; ++i) {
        const int8_t d = KingOffsets[i];
        Square t = Square(king + d);
        while (OnBoard(t) && board[t] == 0) t = Square(t + d);
        if (!OnBoard(t) || !(board[t] & own)) continue;
        const Square shield = t;
        t = Square(t + d);
        while (OnBoard(t) && board[t] == 0) t = Square(t + d);
        if (!OnBoard(t) || !(board[t] & enemy)) continue;
        const int type = TypeOf(board[t]);
        if (type == Queen || type == (IsDiagonal(d) ? Bishop : Rook)) {
            out.squares[out.count] = shield;
            out.steps[out.count++] = d;
        }
    }
}

bool CannotEscapeCheck(const Position& pos, Move move, int ply, const Checkers& checkers) {
    const Piece* board = pos.board;
    const PlyState& ps = pos.ply[ply];
    const Square from = FromOf(move), to = ToOf(move);
    if (TypeOf(board[from]) == King) return false;
    if (IsEnPassant(ps, move)) return false;  // made and tested
    if (checkers.count != 1) return true;
    const Square king = ps.kingSquare[ps.side];
    const Square checker = checkers.squares[0];
    if (to == checker) return false;
    const int8_t d = LineStepBetween(king, checker);
    if (d == 0 || TypeOf(board[checker]) == Knight || TypeOf(board[checker]) == Pawn) return true;
    for (Square t = Square(king + d); t != checker; t = Square(t + d))
        if (t == to) return false;  // steps between
    return true;
}

bool PieceAttacks(const Position& pos, Square from, Square target) {
    const Piece* board = pos.board;
    const Piece p = board[from];
    const int diff = target - from;
    switch (TypeOf(p)) {
        case Pawn:
            return SideOf(p) == 0 ? (diff == NorthWest || diff == NorthEast)
                                  : (diff == SouthEast || diff == SouthWest);
        case Knight:
            for (int8_t offset : KnightOffsets)
                if (diff == offset) return true;
            return false;
        case King:
            return LineStepBetween(from, target) == diff;
        case Queen:
        case Rook:
        case Bishop: {
            const int8_t d = LineStepBetween(from, target);
            if (d == 0) return false;
            const bool diagonal = IsDiagonal(d);
            if (TypeOf(p) == (diagonal ? Rook : Bishop)) return false;
            Square t = Square(from + d);
            while (t != target && board[t] == 0) t = Square(t + d);
            return t == target;
        }
        default:
            return false;
    }
}

bool GivesCheck(const Position& pos, Move move, int ply) {
    const PlyState& next = pos.ply[ply + 1];
    const Square from = FromOf(move), to = ToOf(move);
    const Piece moved = pos.board[to];
    // Only a pawn takes en passant.
    if (IsCastling(moved, move) || (TypeOf(moved) == Pawn && IsEnPassant(pos.ply[ply], move)))
        return reference::IsAttacked(pos, next.side, uint8_t(ply + 1), NoSquare);
    const Square king = next.kingSquare[next.side];
    return reference::PieceAttacks(pos, to, king) ||
           reference::IsAttackedThrough(pos, next.side, king, from);
}

bool WouldGiveCheck(const Position& pos, Move move, int ply) {
    const Piece* board = pos.board;
    const PlyState& ps = pos.ply[ply];
    const Square from = FromOf(move), to = ToOf(move);
    const Square king = ps.kingSquare[1 - ps.side];
    const Piece own = ps.side ? Black : White;
    const int type = PromotionOf(move) ? PromotionOf(move) : TypeOf(board[from]);
    const int diff = king - to;
    // Direct check from the target square; the vacated square counts as empty.
    switch (type) {
        case Pawn:
            if (own == White ? (diff == NorthWest || diff == NorthEast)
                             : (diff == SouthEast || diff == SouthWest))
                return true;
            break;
        case Knight:
            for (int8_t offset : KnightOffsets)
                if (diff == offset) return true;
            break;
        case Queen:
        case Rook:
        case Bishop: {
            const int8_t d = LineStepBetween(to, king);
            if (d == 0) break;
            const bool diagonal = IsDiagonal(d);
            if (type == (diagonal ? Rook : Bishop)) break;
            Square t = Square(to + d);
            while (t != king && (board[t] == 0 || t == from)) t = Square(t + d);
            if (t == king) return true;
            break;
        }
        default:
            break;
    }
    // Discovered check along the line from the king through the vacated square.
    const int8_t d = LineStepBetween(king, from);
    if (d == 0) return false;
    Square t = Square(king + d);
    while (OnBoard(t) && (board[t] == 0 || t == from) && t != to) t = Square(t + d);
    if (!OnBoard(t) || t == to) return false;
    const Piece p = board[t];
    if ((p & own) == 0) return false;
    const bool diagonal = IsDiagonal(d);
    return TypeOf(p) == Queen || TypeOf(p) == (diagonal ? Bishop : Rook);
}

bool IsAttackedThrough(const Position& pos, uint8_t side, Square king, Square through) {
    const Piece* board = pos.board;
    const int8_t d = LineStepBetween(king, through);
    if (d == 0) return false;
    Square t = Square(king + d);
    while (OnBoard(t) && board[t] == 0) t = Square(t + d);
    if (!OnBoard(t)) return false;
    const Piece p = board[t], enemy = side ? White : Black;
    if ((p & enemy) == 0) return false;
    const int type = TypeOf(p);
    const bool diagonal = IsDiagonal(d);
    return type == Queen || type == (diagonal ? Bishop : Rook);
}

bool IsAttacked(const Position& pos, uint8_t side, uint8_t ply, Square square) {
    const Piece* board = pos.board;
    if (square == NoSquare) square = pos.ply[ply].kingSquare[side ? 1 : 0];
    const Piece enemy = side ? White : Black;
    const Piece knight = enemy | Knight, king = enemy | King, queen = enemy | Queen;
    const Piece rook = enemy | Rook, bishop = enemy | Bishop, pawn = enemy | Pawn;

    for (int i = 0; i < KnightSteps.count[square]; ++i)
        if (board[KnightSteps.squares[square][i]] == knight) return true;
    // Orthogonal rays: rook or queen at any distance, the king on the first step.
    for (int i = 0; i < 4; ++i) {
        Square t = Square(square + KingOffsets[i]);
        while (OnBoard(t) && board[t] == 0) t = Square(t + KingOffsets[i]);
        if (!OnBoard(t)) continue;
        Piece p = board[t];
        if (p == queen || p == rook) return true;
        if (p == king && t == Square(square + KingOffsets[i])) return true;
    }
    // Diagonal rays: bishop or queen, the king on the first step, and a pawn on the first
    // step of a ray along which it captures towards the square.
    for (int i = 4; i < 8; ++i) {
        int8_t d = KingOffsets[i];
        Square t = Square(square + d);
        while (OnBoard(t) && board[t] == 0) t = Square(t + d);
        if (!OnBoard(t)) continue;
        Piece p = board[t];
        if (p == queen || p == bishop) return true;
        if (t != Square(square + d)) continue;
        if (p == king) return true;
        // Black pawns capture downwards, so they attack from +15/+17; white ones from -15/-17.
        if (p == pawn && (enemy == Black ? d > 0 : d < 0)) return true;
    }
    return false;
}

namespace {

// Empty squares met walking from s along each offset until a piece or the edge.
int CountEmpty(const Piece* board, Square s, const int8_t* offsets, int n) {
    int count = 0;
    for (int i = 0; i < n; ++i)
        for (Square t = Square(s + offsets[i]); OnBoard(t) && !board[t]; t = Square(t + offsets[i]))
            ++count;
    return count;
}

const int8_t FileSteps[2] = {North, South};
const int8_t RankSteps[2] = {East, West};
const int8_t DiagonalSteps[4] = {NorthWest, SouthEast, NorthEast, SouthWest};

}  // namespace

int RookMobility(const Position& pos, Square s) {
    return 2 * CountEmpty(pos.board, s, FileSteps, 2) + CountEmpty(pos.board, s, RankSteps, 2);
}

int BishopMobility(const Position& pos, Square s) {
    return 2 * CountEmpty(pos.board, s, DiagonalSteps, 4);
}

// The generators: pieces from a1 to h8, each piece's moves by its offsets, each ray walked
// square by square.
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
    assert(!tracked || ps.inCheck == reference::IsAttacked(pos, side, 0, s));
    auto startAttacked = [&] {
        return tracked ? ps.inCheck != 0 : reference::IsAttacked(pos, side, 0, s);
    };
    auto attacked = [&pos, at](Square sq) { return reference::IsAttacked(pos, side, 0, at(sq)); };
    if ((ps.castling & shortRight) && !board[at(F1)] && !board[at(G1)] &&
        TypeOf(board[at(H1)]) == Rook && !startAttacked() && !attacked(F1) && !attacked(G1))
        w.Add(at(E1), at(G1));
    if ((ps.castling & longRight) && !board[at(D1)] && !board[at(C1)] && !board[at(B1)] &&
        TypeOf(board[at(A1)]) == Rook && !startAttacked() && !attacked(D1) && !attacked(C1))
        w.Add(at(E1), at(C1));
}

// Chess960 castling as the rule reads, short then long: with king and rook lifted off the
// board, every square from either's start to either's end is empty, and no square of the
// king's way, both ends included, is attacked. Sent as the king taking its rook.
template <int side>
void AddChess960Castling(Writer<true>& w, Position& pos, const PlyState& ps, Square king) {
    if (king != ps.kingSquare[side]) return;
    for (int right = 2 * side; right < 2 * side + 2; ++right) {
        if (!(ps.castling & (1 << right))) continue;
        const Square rook = pos.castlingRules.rookFrom[right];
        const int rank = side ? 7 : 0;
        const bool shortSide = (rook & 7) > (king & 7);
        const Square kingTo = Square(rank * 16 + (shortSide ? 6 : 2));
        const Square rookTo = Square(rank * 16 + (shortSide ? 5 : 3));
        const Piece kingPiece = pos.board[king], rookPiece = pos.board[rook];
        pos.board[king] = pos.board[rook] = 0;
        const Square squares[4] = {king, kingTo, rook, rookTo};
        const Square low = *std::min_element(squares, squares + 4);
        const Square high = *std::max_element(squares, squares + 4);
        bool allowed = true;
        for (Square t = low; t <= high; t = Square(t + 1)) allowed &= pos.board[t] == 0;
        const int step = kingTo > king ? 1 : -1;
        for (Square t = king;; t = Square(t + step)) {
            allowed &= !reference::IsAttacked(pos, uint8_t(side), 0, t);
            if (t == kingTo) break;
        }
        pos.board[king] = kingPiece;
        pos.board[rook] = rookPiece;
        if (allowed) w.list[++w.n] = Chess960Castling(king, rook);
    }
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
void WalkList(Position& pos, int ply) {
    constexpr bool quiets = kind == ListKind::AllMoves;
    PlyState& ps = pos.ply[ply];
    const Piece own = ps.side ? Black : White, enemy = ps.side ? White : Black;
    Writer<quiets> w{pos.board, pos.moves[ply], 0};
    ForEachPiece(pos, own == White ? WhiteBits : BlackBits, [&](Square s) {
        switch (TypeOf(pos.board[s])) {
            case King:
                if constexpr (quiets) {
                    if (pos.castlingRules.chess960 && ps.side == 0)
                        AddChess960Castling<0>(w, pos, ps, s);
                    else if (pos.castlingRules.chess960)
                        AddChess960Castling<1>(w, pos, ps, s);
                    else if (ps.side == 0)
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

void GenerateMoves(Position& pos, int ply) { WalkList<ListKind::AllMoves>(pos, ply); }
void GenerateCaptures(Position& pos, int ply) { WalkList<ListKind::Captures>(pos, ply); }

}  // namespace reference
