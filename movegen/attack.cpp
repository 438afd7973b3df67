// Attack detection from the bitboards: a piece attacks a square when the square lies in the
// piece's attack set from where it stands.
#include "movegen/attack.h"

#include "movegen/move.h"

namespace {

// The rooks and queens, or bishops and queens, of `side` that attack along ray `d`.
inline uint64_t LineSliders(const Position& pos, int d, int side) {
    const int type = d < FirstDiagonalRay ? Rook : Bishop;
    return (pos.byType[type] | pos.byType[Queen]) & pos.byColour[side];
}

// Whether the first piece met along ray `d` from `s` over `occupied` is one of `sliders`.
inline bool FirstOnRayIsOneOf(int d, Square s, uint64_t occupied, uint64_t sliders) {
    const uint64_t blockers = Attacks.ray[d][s] & occupied;
    return blockers && (sliders & NearestBitOnRay(d, blockers));
}

// Whether the piece `p` standing on `from` attacks `target` over `occupied`: a slider when
// the two share a line of its kind with nothing between.
inline bool Reaches(Piece p, Square from, Square target, uint64_t occupied) {
    switch (TypeOf(p)) {
        case Pawn:
            return Attacks.pawn[SideOf(p)][from] & SquareBit(target);
        case Knight:
            return Attacks.knight[from] & SquareBit(target);
        case King:
            return Attacks.king[from] & SquareBit(target);
        case Queen:
        case Rook:
        case Bishop: {
            const int d = RayIndexBetween(from, target);
            if (d < 0 || TypeOf(p) == (d < FirstDiagonalRay ? Bishop : Rook)) return false;
            return !(SquaresBetween(d, from, target) & occupied);
        }
        default:
            return false;
    }
}

}  // namespace

uint64_t AttackersOf(const Position& pos, Square square, uint64_t occupied) {
    const uint64_t* type = pos.byType;
    const uint64_t pawns =
        (Attacks.pawn[0][square] & pos.byColour[1]) | (Attacks.pawn[1][square] & pos.byColour[0]);
    return (pawns & type[Pawn]) | (Attacks.knight[square] & type[Knight]) |
           (Attacks.king[square] & type[King]) |
           (RookAttacks(square, occupied) & (type[Rook] | type[Queen])) |
           (BishopAttacks(square, occupied) & (type[Bishop] | type[Queen]));
}

bool IsAttackedWith(const Position& pos, uint8_t side, Square square, uint64_t occupied) {
    const int us = side ? 1 : 0;
    const uint64_t them = pos.byColour[us ^ 1];
    const uint64_t* type = pos.byType;
    // A pawn of the enemy attacks the square from where an own pawn on it would attack.
    if ((Attacks.pawn[us][square] & type[Pawn] & them) ||
        (Attacks.knight[square] & type[Knight] & them) ||
        (Attacks.king[square] & type[King] & them))
        return true;
    const uint64_t queens = type[Queen];
    return (RookAttacks(square, occupied) & (type[Rook] | queens) & them) ||
           (BishopAttacks(square, occupied) & (type[Bishop] | queens) & them);
}

bool IsAttacked(const Position& pos, uint8_t side, uint8_t ply, Square square) {
    if (square == NoSquare) square = pos.ply[ply].kingSquare[side ? 1 : 0];
    return IsAttackedWith(pos, side, square, Occupied(pos));
}

void SetInCheck(Position& pos, int ply) {
    pos.ply[ply].inCheck = IsAttacked(pos, pos.ply[ply].side, uint8_t(ply), NoSquare);
}

void FindCheckers(const Position& pos, uint8_t side, Square square, Checkers& out) {
    uint64_t checkers = AttackersOf(pos, square, Occupied(pos)) & pos.byColour[side ? 0 : 1];
    out.count = 0;
    out.evasionTargets = 0;
    if (checkers && !(checkers & (checkers - 1))) {
        const Square checker = FirstSquare(checkers);
        const int d = RayIndexBetween(square, checker);
        out.evasionTargets = checkers;
        if (d >= 0) out.evasionTargets |= SquaresBetween(d, square, checker);
    }
    while (checkers) {
        const Square s = PopFirstSquare(checkers);
        if (out.count < MaxCheckers) out.squares[out.count] = s;
        ++out.count;
    }
}

void FindPins(const Position& pos, uint8_t side, Square king, Pins& out) {
    const int us = side ? 1 : 0;
    const uint64_t occupied = Occupied(pos);
    const uint64_t* type = pos.byType;
    // The enemy sliders on the king's lines with nothing but pieces between.
    uint64_t snipers = ((RookAttacks(king, 0) & (type[Rook] | type[Queen])) |
                        (BishopAttacks(king, 0) & (type[Bishop] | type[Queen]))) &
                       pos.byColour[us ^ 1];
    out.count = 0;
    out.pinned = 0;
    while (snipers) {
        const Square sniper = PopFirstSquare(snipers);
        const int d = RayIndexBetween(king, sniper);
        const uint64_t line = SquaresBetween(d, king, sniper);
        const uint64_t between = line & occupied;
        if (between && !(between & (between - 1)) && (between & pos.byColour[us])) {
            out.squares[out.count] = FirstSquare(between);
            out.lines[out.count++] = line | SquareBit(sniper);
            out.pinned |= between;
        }
    }
}

bool CannotEscapeCheck(const Position& pos, Move move, int ply, const Checkers& checkers) {
    if (TypeOf(pos.board[FromOf(move)]) == King) return false;
    if (IsEnPassant(pos.ply[ply], move)) return false;  // made and tested
    return !(checkers.evasionTargets & SquareBit(ToOf(move)));
}

bool PieceAttacks(const Position& pos, Square from, Square target) {
    return Reaches(pos.board[from], from, target, Occupied(pos));
}

bool GivesCheck(const Position& pos, Move move, int ply) {
    const PlyState& next = pos.ply[ply + 1];
    const Square from = FromOf(move), to = ToOf(move);
    const Piece moved = pos.board[to];
    // Only a pawn takes en passant.
    if (IsCastling(moved, move) || (TypeOf(moved) == Pawn && IsEnPassant(pos.ply[ply], move)))
        return IsAttacked(pos, next.side, uint8_t(ply + 1), NoSquare);
    const Square king = next.kingSquare[next.side];
    return PieceAttacks(pos, to, king) || IsAttackedThrough(pos, next.side, king, from);
}

bool WouldGiveCheck(const Position& pos, Move move, int ply) {
    const PlyState& ps = pos.ply[ply];
    const Square from = FromOf(move), to = ToOf(move);
    const Square king = ps.kingSquare[1 - ps.side];
    const int type = PromotionOf(move) ? PromotionOf(move) : TypeOf(pos.board[from]);
    // Direct check from the target square, the vacated square counting as empty; a king
    // gives none.
    const uint64_t occupied = Occupied(pos);
    if (type != King) {
        const Piece mover = Piece((ps.side ? Black : White) | type);
        if (Reaches(mover, to, king, occupied ^ SquareBit(from))) return true;
    }
    // Discovered check along the line from the king through the vacated square, which the
    // target square may block.
    const int d = RayIndexBetween(king, from);
    if (d < 0) return false;
    const uint64_t after = (occupied ^ SquareBit(from)) | SquareBit(to);
    return FirstOnRayIsOneOf(d, king, after, LineSliders(pos, d, ps.side));
}

bool WouldExposeKing(const Position& pos, Move move, int ply) {
    const PlyState& ps = pos.ply[ply];
    const int us = ps.side;
    const Square from = FromOf(move), to = ToOf(move);
    const uint64_t occupied = Occupied(pos) ^ SquareBit(from);
    if (TypeOf(pos.board[from]) == King) return IsAttackedWith(pos, uint8_t(us), to, occupied);
    // Only the line through the vacated square can open onto the king; the piece taken on
    // the target square attacks no more.
    const Square king = ps.kingSquare[us];
    const int d = RayIndexBetween(king, from);
    return d >= 0 && FirstOnRayIsOneOf(d, king, occupied | SquareBit(to),
                                       LineSliders(pos, d, us ^ 1) & ~SquareBit(to));
}

bool IsAttackedThrough(const Position& pos, uint8_t side, Square king, Square through) {
    const int d = RayIndexBetween(king, through);
    return d >= 0 && FirstOnRayIsOneOf(d, king, Occupied(pos), LineSliders(pos, d, side ? 0 : 1));
}
