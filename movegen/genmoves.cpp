// The move generator: one pass over the pieces serves the full list and the capture list. The
// bitboards give each piece's targets at once; the order is the board's own: pieces from a1 to
// h8, each piece's moves by its offsets, each ray from the piece outwards.
#include "movegen/genmoves.h"

#include <cassert>
#include <utility>

#include "movegen/attack.h"

std::string MoveToText(Move m) {
    if (m == NoMove) return "0000";
    std::string text = SquareNames[FromOf(m) & 127];
    text += SquareNames[(m & CastlingFlag ? CastlingRook(m) : ToOf(m)) & 127];
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
[[gnu::noinline]] void AddChess960Castling(Writer& w, const Position& pos, const PlyState& ps,
                                           Square king);

template <int side>
[[gnu::always_inline]] inline void AddCastling(Writer& w, const Position& pos, const PlyState& ps,
                                               Square s) {
    if (!(ps.castling & (3 << 2 * side))) return;
    if (pos.castlingRules.chess960) {
        AddChess960Castling<side>(w, pos, ps, s);
        return;
    }
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

// The squares of the first rank from file `a` to file `b`, both included, as bits.
inline uint64_t RankSpan(int rank, int a, int b) {
    if (a > b) std::swap(a, b);
    return ((0xFFull >> (7 - b)) & (0xFFull << a)) << (8 * rank);
}

// Chess960 castling, short then long: the king on its square and the right's rook on its own
// (as a right promises), every square either crosses or lands on empty but for the two, the
// king's start, path and target unattacked, and the king safe from a line the rook opened.
// Written as the king taking its rook.
template <int side>
[[gnu::noinline]] void AddChess960Castling(Writer& w, const Position& pos, const PlyState& ps,
                                           Square king) {
    if (king != ps.kingSquare[side] || ps.inCheck) return;
    const CastlingRules& rules = pos.castlingRules;
    const int rank = side ? 7 : 0;
    const int kingFile = king & 7;
    for (int right = 2 * side; right < 2 * side + 2; ++right) {
        if (!(ps.castling & (1 << right))) continue;
        const Square rook = rules.rookFrom[right];
        const int rookFile = rook & 7;
        const bool shortSide = rookFile > kingFile;
        const int kingTo = shortSide ? 6 : 2, rookTo = shortSide ? 5 : 3;
        const uint64_t pieces = SquareBit(king) | SquareBit(rook);
        const uint64_t others = Occupied(pos) & ~pieces;
        if (others & (RankSpan(rank, kingFile, kingTo) | RankSpan(rank, rookFile, rookTo)))
            continue;
        bool attacked = false;
        for (int file = kingFile; file != kingTo && !attacked;) {
            file += kingTo > kingFile ? 1 : -1;
            attacked = IsAttacked(pos, side, 0, Square(rank * 16 + file));
        }
        // With the rook gone from its square, a line through it may reach the king's target.
        const Square target = Square(rank * 16 + kingTo);
        const uint64_t after = others | SquareBit(target) | SquareBit(Square(rank * 16 + rookTo));
        if (attacked || IsAttackedWith(pos, side, target, after)) continue;
        w.list[++w.n] = Chess960Castling(king, rook);
    }
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

// The capture list of the side to move, `side`. Most pieces take nothing, so the targets are
// found kind by kind first, and only the pieces that have some, and the pawns that take or
// promote, are then visited in the board's order to write their moves.
template <int side>
int GenerateCaptures(Position& pos, PlyState& ps, Move* list) {
    const uint64_t own = pos.byColour[side], enemy = pos.byColour[side ^ 1];
    const uint64_t occupied = own | enemy;
    const uint64_t* type = pos.byType;
    uint64_t targetsOf[64];  // by bit number, for the pieces in `takers`
    uint64_t takers = 0;
    auto note = [&](uint64_t pieces, auto attacks) {
        for (; pieces; pieces &= pieces - 1) {
            const int bit = __builtin_ctzll(pieces);
            const uint64_t targets = attacks(SquareOfBit(bit)) & enemy;
            if (targets) {
                targetsOf[bit] = targets;
                takers |= 1ull << bit;
            }
        }
    };
    note(type[Knight] & own, [](Square s) { return Attacks.knight[s]; });
    note(type[Bishop] & own, [occupied](Square s) { return BishopAttacks(s, occupied); });
    note(type[Rook] & own, [occupied](Square s) { return RookAttacks(s, occupied); });
    note(type[Queen] & own,
         [occupied](Square s) { return RookAttacks(s, occupied) | BishopAttacks(s, occupied); });
    note(type[King] & own, [](Square s) { return Attacks.king[s]; });
    // What a pawn takes: the enemy pieces and the en-passant square.
    const uint64_t pawnTargets = enemy | (ps.epSquare == NoSquare ? 0 : SquareBit(ps.epSquare));
    const uint64_t pawns = ActivePawns(type[Pawn] & own, side, pawnTargets);
    takers |= pawns;
    Writer w{pos.board, list, 0};
    for (; takers; takers &= takers - 1) {
        const int bit = __builtin_ctzll(takers);
        if (pawns >> bit & 1)
            AddPawnMoves<false, side>(w, ps, SquareOfBit(bit), pawnTargets);
        else
            AddInOrder(w, SquareOfBit(bit), targetsOf[bit]);
    }
    return w.n;
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
    Move* list = pos.moves[ply];
    if constexpr (quiets)
        ps.moveCount =
            ps.side == 0 ? Generate<true, 0>(pos, ps, list) : Generate<true, 1>(pos, ps, list);
    else
        ps.moveCount =
            ps.side == 0 ? GenerateCaptures<0>(pos, ps, list) : GenerateCaptures<1>(pos, ps, list);
}

namespace {

constexpr uint64_t FileA = 0x0101010101010101ull, FileH = FileA << 7;
constexpr uint64_t Rank1 = 0xFFull;

inline int Count(uint64_t set) { return __builtin_popcountll(set); }

// The moves that `pawns` make to `allowed` squares: pushes, double steps and captures, a
// promotion counting as four moves.
template <int side>
int CountPawnMoves(uint64_t pawns, uint64_t enemy, uint64_t empty, uint64_t allowed) {
    constexpr uint64_t lastRank = side ? Rank1 : Rank1 << 56;
    constexpr uint64_t thirdRank = side ? Rank1 << 40 : Rank1 << 16;
    auto forward = [](uint64_t set, int shift) { return side ? set >> shift : set << shift; };
    const uint64_t push = forward(pawns, 8) & empty;
    const uint64_t twice = forward(push & thirdRank, 8) & empty & allowed;
    // Towards the a-file and towards the h-file; two pawns may take the same piece.
    const uint64_t left = forward(pawns & ~FileA, side ? 9 : 7) & enemy & allowed;
    const uint64_t right = forward(pawns & ~FileH, side ? 7 : 9) & enemy & allowed;
    int count = Count(twice);
    for (uint64_t reached : {push & allowed, left, right})
        count += Count(reached & ~lastRank) + 4 * Count(reached & lastRank);
    return count;
}

// The legal moves of a position with one king of the side to move, on its recorded square.
template <int side>
int CountLegal(const Position& pos, const PlyState& ps) {
    const uint64_t own = pos.byColour[side], enemy = pos.byColour[side ^ 1];
    const uint64_t occupied = own | enemy;
    const Square king = ps.kingSquare[side];
    Checkers checkers;
    FindCheckers(pos, side, king, checkers);
    // The king's steps: to squares still unattacked once it has left its own.
    int count = 0;
    for (uint64_t targets = Attacks.king[king] & ~own; targets;)
        count += !IsAttackedWith(pos, side, PopFirstSquare(targets), occupied ^ SquareBit(king));
    if (checkers.count > 1) return count;  // two checkers: only the king can move
    // Castling, legal as generated.
    Move castlings[3];
    Writer castler{pos.board, castlings, 0};
    AddCastling<side>(castler, pos, ps, king);
    count += castler.n;
    // Any other move must take the one checker or step between, and a pinned piece must keep
    // to its line.
    const uint64_t allowed = checkers.count ? checkers.evasionTargets : ~own;
    Pins pins;
    FindPins(pos, side, king, pins);
    const uint64_t* type = pos.byType;
    const uint64_t pawns = type[Pawn] & own;
    count += CountPawnMoves<side>(pawns & ~pins.pinned, enemy, ~occupied, allowed);
    for (uint64_t knights = type[Knight] & own & ~pins.pinned; knights;)
        count += Count(Attacks.knight[PopFirstSquare(knights)] & allowed);
    for (uint64_t sliders = (type[Queen] | type[Rook] | type[Bishop]) & own & ~pins.pinned;
         sliders;) {
        const Square s = PopFirstSquare(sliders);
        const int t = TypeOf(pos.board[s]);
        uint64_t attacks = 0;
        if (t != Bishop) attacks |= RookAttacks(s, occupied);
        if (t != Rook) attacks |= BishopAttacks(s, occupied);
        count += Count(attacks & allowed);
    }
    for (int i = 0; i < pins.count; ++i) {
        const Square s = pins.squares[i];
        const uint64_t line = allowed & pins.lines[i];
        switch (TypeOf(pos.board[s])) {
            case Pawn:
                count += CountPawnMoves<side>(SquareBit(s), enemy, ~occupied, line);
                break;
            case Queen:
                count += Count((RookAttacks(s, occupied) | BishopAttacks(s, occupied)) & line);
                break;
            case Rook:
                count += Count(RookAttacks(s, occupied) & line);
                break;
            case Bishop:
                count += Count(BishopAttacks(s, occupied) & line);
                break;
            default:  // a pinned knight cannot move
                break;
        }
    }
    // En passant empties two squares: the king must not be attacked by what is left.
    if (ps.epSquare != NoSquare) {
        const Square to = ps.epSquare;
        for (uint64_t takers = Attacks.pawn[side ^ 1][to] & pawns; takers;) {
            const Square from = PopFirstSquare(takers);
            const uint64_t taken = SquareBit(Square((from & 0x70) | (to & 7)));
            const uint64_t after = (occupied ^ SquareBit(from) ^ taken) | SquareBit(to);
            count += !(AttackersOf(pos, king, after) & enemy & ~taken);
        }
    }
    return count;
}

}  // namespace

int CountLegalMoves(const Position& pos, int ply) {
    const PlyState& ps = pos.ply[ply];
    const int side = ps.side;
    if (PiecesOf(pos, side, King) != SquareBit(ps.kingSquare[side])) return -1;
    return side == 0 ? CountLegal<0>(pos, ps) : CountLegal<1>(pos, ps);
}

template void GenerateList<ListKind::AllMoves>(Position& pos, int ply);
template void GenerateList<ListKind::Captures>(Position& pos, int ply);

void GenerateMoves(Position& pos, int ply) { GenerateList<ListKind::AllMoves>(pos, ply); }
