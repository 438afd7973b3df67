// The attack questions by ray walks over the 0x88 board: the reference for the bitboards.
#include "tests/reference.h"

#include "movegen/move.h"

namespace reference {

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

void FindPins(const Position& pos, uint8_t side, Square king, Pins& out) {
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

}  // namespace reference
