// Making and taking back moves, with incremental keys and the legality test.
#include "movemake/movemake.h"

#include <cassert>

#include "board/fen.h"
#include "movegen/attack.h"
#include "movegen/genmoves.h"
#include "movemake/hash.h"

namespace {

constexpr uint8_t SideRights[2] = {CastleWK | CastleWQ, CastleBK | CastleBQ};

// The three makes: the full one for the search, the quiescence one without the 64-bit key,
// castling rights and last move, and the board-only trial. A take-back changes the board
// alone, as the trial does.
enum class MakeKind { Full, Capture, Trial };

// The board and what a make keeps in step with it: the keys (the full make) and the pawn key
// and material (all but the trial). Every change of a square goes through the three helpers
// below, so that none of them can drift from the board.
template <MakeKind kind>
struct Changes {
    Position& pos;
    PlyState* next;  // the record being written, its material already copied
    uint64_t key = 0;
    uint32_t pawnKey = 0;
};

template <MakeKind kind>
[[gnu::always_inline]] inline void Book(Changes<kind>& c, Piece p, Square s, int sign) {
    if constexpr (kind == MakeKind::Full) c.key ^= ZobristPiece[PieceIndex(p)][s];
    if constexpr (kind != MakeKind::Trial) {
        if (TypeOf(p) == Pawn) c.pawnKey ^= ZobristPawn[SideOf(p)][s];
        c.next->material[SideOf(p)] += sign * PieceValue[TypeOf(p)];
    }
}

// Puts `p` on the empty square `s`.
template <MakeKind kind>
[[gnu::always_inline]] inline void AddPiece(Changes<kind>& c, Square s, Piece p) {
    Book(c, p, s, 1);
    c.pos.board[s] = p;
    FlipBits(c.pos, s, p);
}

// Empties the square `s`.
template <MakeKind kind>
[[gnu::always_inline]] inline void ClearPiece(Changes<kind>& c, Square s) {
    const Piece p = c.pos.board[s];
    Book(c, p, s, -1);
    c.pos.board[s] = 0;
    FlipBits(c.pos, s, p);
}

// Moves the piece on `from` to the empty square `to`; material does not change.
template <MakeKind kind>
[[gnu::always_inline]] inline void MovePiece(Changes<kind>& c, Square from, Square to) {
    const Piece p = c.pos.board[from];
    if constexpr (kind == MakeKind::Full)
        c.key ^= ZobristPiece[PieceIndex(p)][from] ^ ZobristPiece[PieceIndex(p)][to];
    if constexpr (kind != MakeKind::Trial)
        if (TypeOf(p) == Pawn)
            c.pawnKey ^= ZobristPawn[SideOf(p)][from] ^ ZobristPawn[SideOf(p)][to];
    c.pos.board[to] = p;
    c.pos.board[from] = 0;
    const uint64_t bits = SquareBit(from) | SquareBit(to);
    c.pos.byColour[SideOf(p)] ^= bits;
    c.pos.byType[TypeOf(p)] ^= bits;
}

// The rook's squares of a castling by the king from `from` to `to`: it stands beside the
// corner's side of the king's target and lands on the square the king crossed.
inline Square CastlingRookFrom(Square from, Square to) {
    return Square(to > from ? to + 1 : to - 2);
}
inline Square CastlingRookTo(Square from, Square to) { return Square((from + to) / 2); }

// The squares a Chess960 castling ends on, the king taking its own rook from `from` to `rook`:
// the g- and f-file towards the h-file, the c- and d-file towards the a-file.
inline Square Chess960KingTo(Square from, Square rook) {
    return Square((from & 0x70) | (rook > from ? 6 : 2));
}
inline Square Chess960RookTo(Square from, Square rook) {
    return Square((from & 0x70) | (rook > from ? 5 : 3));
}

// A Chess960 castling, king `from` taking its own rook on `rook`, made as Make makes a move:
// king and rook leave their squares, then land on theirs, which may be each other's. It was
// generated legal, but the test is made all the same, as for any king move.
template <MakeKind kind>
bool MakeChess960Castling(Position& pos, Square from, Square rook, Move move, int ply) {
    const PlyState& cur = pos.ply[ply];
    PlyState& next = pos.ply[ply + 1];
    const int us = cur.side;
    next.side = uint8_t(us ^ 1);
    next.kingSquare[0] = cur.kingSquare[0];
    next.kingSquare[1] = cur.kingSquare[1];
    next.kingSquare[us] = Chess960KingTo(from, rook);
    if constexpr (kind != MakeKind::Trial) {
        next.epSquare = NoSquare;
        next.material[0] = cur.material[0];
        next.material[1] = cur.material[1];
        next.queenSquare[0] = cur.queenSquare[0];
        next.queenSquare[1] = cur.queenSquare[1];
    }
    if constexpr (kind == MakeKind::Full) next.lastMove = move;
    Changes<kind> c{pos, &next, cur.key ^ ZobristEp[cur.epSquare] ^ ZobristSide, cur.pawnKey};
    const Piece k = pos.board[from], r = pos.board[rook];
    ClearPiece(c, from);
    ClearPiece(c, rook);
    AddPiece(c, next.kingSquare[us], k);
    AddPiece(c, Chess960RookTo(from, rook), r);
    if constexpr (kind == MakeKind::Full) {
        const uint8_t lost = cur.castling & SideRights[us];
        next.castling = cur.castling ^ lost;
        next.key = c.key ^ pos.castlingRules.keys[lost];
    }
    if constexpr (kind != MakeKind::Trial) next.pawnKey = c.pawnKey;
    if (IsAttacked(pos, uint8_t(us), uint8_t(ply + 1), NoSquare)) {
        TakeBack(pos, move, ply);
        return false;
    }
    return true;
}

// The square of the pawn that en passant takes: beside the mover's start, on the target file.
inline Square EnPassantVictim(Square from, Square to) { return Square((from & 0x70) | (to & 7)); }

// Legality: the mover's king must not be left attacked. Unless the mover moved its king or
// took en passant, only the line through the vacated square can have opened onto the king,
// and of the pieces that gave check only those not taken or blocked still attack it; so only
// those are looked at.
[[gnu::always_inline]] inline bool LeavesKingAttacked(const Position& pos, Square from, Square to,
                                                      int ply, bool enPassant,
                                                      const Checkers* checkers) {
    const PlyState& cur = pos.ply[ply];
    const int us = cur.side;
    const Square king = pos.ply[ply + 1].kingSquare[us];
    const bool special = TypeOf(pos.board[to]) == King || enPassant;
    if (special || (cur.inCheck && (!checkers || checkers->count > MaxCheckers)))
        return IsAttacked(pos, uint8_t(us), uint8_t(ply + 1), NoSquare);
    bool exposed = IsAttackedThrough(pos, uint8_t(us), king, from);
    if (cur.inCheck)
        for (int i = 0; i < checkers->count && !exposed; ++i)
            exposed = checkers->squares[i] != to && PieceAttacks(pos, checkers->squares[i], king);
    return exposed;
}

template <MakeKind kind>
bool Make(Position& pos, Move move, int ply, const Checkers* checkers) {
    if (move & CastlingFlag) [[unlikely]]
        return MakeChess960Castling<kind>(pos, FromOf(move), CastlingRook(move), move, ply);
    constexpr bool full = kind == MakeKind::Full;
    constexpr bool bookkeeping = kind != MakeKind::Trial;
    Piece* board = pos.board;
    const PlyState& cur = pos.ply[ply];
    PlyState& next = pos.ply[ply + 1];
    const int us = cur.side, them = us ^ 1;
    const Square from = FromOf(move), to = ToOf(move);
    const int captured = CapturedOf(move), promotion = PromotionOf(move);
    const Piece moved = board[from];
    const bool enPassant = IsEnPassant(cur, move);
    // The legality test below trusts the in-check flag of the position before the move.
    assert(cur.inCheck == IsAttacked(pos, uint8_t(us), uint8_t(ply), NoSquare));

    // Step 1. Start the new record: the side to move changes, the rest is carried over.
    next.side = uint8_t(them);
    next.kingSquare[0] = cur.kingSquare[0];
    next.kingSquare[1] = cur.kingSquare[1];
    if constexpr (bookkeeping) {
        next.epSquare = NoSquare;
        next.material[0] = cur.material[0];
        next.material[1] = cur.material[1];
        next.queenSquare[0] = cur.queenSquare[0];
        next.queenSquare[1] = cur.queenSquare[1];
    }
    if constexpr (full) next.lastMove = move;
    Changes<kind> c{pos, &next, cur.key ^ ZobristEp[cur.epSquare] ^ ZobristSide, cur.pawnKey};

    // Step 2. The captured piece leaves; a lost queen is no longer tracked.
    if (captured) {
        ClearPiece(c, enPassant ? EnPassantVictim(from, to) : to);
        if constexpr (bookkeeping)
            if (next.queenSquare[them] == to) next.queenSquare[them] = NoSquare;
    }

    // Step 3. What the kind of the moving piece brings along: the castling rook, the tracked
    // king and queen squares, and the en-passant square after a double step, set only when an
    // enemy pawn could use it, so that the same position reached by another move order has
    // the same key.
    switch (TypeOf(moved)) {
        case King:
            if (IsCastling(moved, move))
                MovePiece(c, CastlingRookFrom(from, to), CastlingRookTo(from, to));
            next.kingSquare[us] = to;
            break;
        case Queen:
            if constexpr (bookkeeping) next.queenSquare[us] = to;
            break;
        case Pawn:
            if constexpr (full) {
                const Piece enemyPawn = us ? WhitePawn : BlackPawn;
                if ((to ^ from) == 0x20 && (board[Square(to + East)] == enemyPawn ||
                                            board[Square(to + West)] == enemyPawn))
                    next.epSquare = Square((from + to) / 2);
            }
            break;
        default:
            break;
    }

    // Step 4. The moving piece, or the pawn and what it becomes.
    if (promotion) {
        ClearPiece(c, from);
        AddPiece(c, to, Piece((us ? Black : White) | promotion));
    } else {
        MovePiece(c, from, to);
    }

    // Step 5. Castling rights: a king move ends its side's two, a rook leaving its corner that
    // corner's, and a capture on a corner the right of the corner's owner. The new
    // en-passant square enters the key.
    if constexpr (full) {
        const CastlingRules& rules = pos.castlingRules;
        uint8_t lost = captured ? rules.rookRight[to] & SideRights[them] : 0;
        if (TypeOf(moved) == King) lost |= SideRights[us];
        if (TypeOf(moved) == Rook) lost |= rules.rookRight[from] & SideRights[us];
        lost &= cur.castling;
        next.castling = cur.castling ^ lost;
        next.key = c.key ^ rules.keys[lost] ^ ZobristEp[next.epSquare];
    }
    if constexpr (bookkeeping) next.pawnKey = c.pawnKey;

    // Step 6. Legality.
    if (LeavesKingAttacked(pos, from, to, ply, enPassant, checkers)) {
        TakeBack(pos, move, ply);
        return false;
    }
    return true;
}

}  // namespace

bool MakeMove(Position& pos, Move move, int ply, const Checkers* checkers) {
    return Make<MakeKind::Full>(pos, move, ply, checkers);
}
bool MakeCapture(Position& pos, Move move, int ply, const Checkers* checkers) {
    return Make<MakeKind::Capture>(pos, move, ply, checkers);
}
bool MakeTrial(Position& pos, Move move, int ply) {
    return Make<MakeKind::Trial>(pos, move, ply, nullptr);
}

void TakeBack(Position& pos, Move move, int ply) {
    Changes<MakeKind::Trial> c{pos, nullptr};
    const Square from = FromOf(move), to = ToOf(move);
    // Most moves take nothing, promote nothing and are no castling: the piece goes back.
    if (!(move & (0xFFFF0000 | CastlingFlag)) && TypeOf(pos.board[to]) != King) {
        MovePiece(c, to, from);
        return;
    }
    if (move & CastlingFlag) {
        const Square rook = CastlingRook(move);
        const Square kingTo = Chess960KingTo(from, rook), rookTo = Chess960RookTo(from, rook);
        const Piece k = pos.board[kingTo], r = pos.board[rookTo];
        ClearPiece(c, kingTo);
        ClearPiece(c, rookTo);
        AddPiece(c, from, k);
        AddPiece(c, rook, r);
        return;
    }
    const int us = pos.ply[ply].side;
    const int captured = CapturedOf(move);
    if (IsCastling(pos.board[to], move))
        MovePiece(c, CastlingRookTo(from, to), CastlingRookFrom(from, to));
    if (PromotionOf(move)) {
        ClearPiece(c, to);
        AddPiece(c, from, Piece((us ? Black : White) | Pawn));
    } else {
        MovePiece(c, to, from);
    }
    if (captured) {
        const Square victim = IsEnPassant(pos.ply[ply], move) ? EnPassantVictim(from, to) : to;
        AddPiece(c, victim, Piece((us ? White : Black) | captured));
    }
}

void CopyPlyState(Position& pos, int from, int to) {
    const PlyState& a = pos.ply[from];
    PlyState& b = pos.ply[to];
    b.side = a.side;
    b.castling = a.castling;
    b.epSquare = a.epSquare;
    b.key = a.key;
    b.pawnKey = a.pawnKey;
    b.material[0] = a.material[0];
    b.material[1] = a.material[1];
    b.kingSquare[0] = a.kingSquare[0];
    b.kingSquare[1] = a.kingSquare[1];
    b.queenSquare[0] = a.queenSquare[0];
    b.queenSquare[1] = a.queenSquare[1];
    b.lastMove = a.lastMove;
}

void MakeNullMove(Position& pos, int ply) {
    const PlyState& cur = pos.ply[ply];
    PlyState& next = pos.ply[ply + 1];
    CopyPlyState(pos, ply, ply + 1);
    next.side = uint8_t(1 - cur.side);
    next.epSquare = NoSquare;
    next.key = cur.key ^ ZobristSide ^ ZobristEp[cur.epSquare];
    SetInCheck(pos, ply + 1);
}

bool PlayMove(Position& pos, Move move) {
    if (!MakeMove(pos, move, 0)) return false;
    CopyPlyState(pos, 1, 0);
    SetInCheck(pos, 0);  // the next make relies on it
    return true;
}

bool PlayMove(Game& game, Move move) {
    // A pawn move, a capture or a promotion can never be undone, so no earlier position can
    // come again: the history starts afresh.
    const bool irreversible = TypeOf(game.pos.board[FromOf(move)]) == Pawn || IsTactical(move);
    if (!PlayMove(game.pos, move)) return false;
    KeyHistory& h = game.history;
    if (irreversible) h.count = 0;
    if (h.count == HistorySlots) {
        for (int s = 1; s < HistorySlots; ++s) h.keys[s] = h.keys[s + 1];
        --h.count;
    }
    h.keys[++h.count] = game.pos.ply[0].key;
    return true;
}

Move FindMoveText(Position& pos, const std::string& text) {
    if (text.size() < 4) return NoMove;
    const Square from = SquareFromText(text.c_str()), to = SquareFromText(text.c_str() + 2);
    int promotion = 0;
    if (text.size() == 5) {
        const char* letters = "QRBN";
        for (int i = 0; i < 4; ++i)
            if ((text[4] & ~0x20) == letters[i]) promotion = Queen + i;
    }
    // The last generated move that matches is played, as the move list is read in order.
    const Move wanted = MakeMoveWord(from, to, 0, promotion);
    GenerateMoves(pos, 0);
    Move found = NoMove;
    for (int k = 1; k <= pos.ply[0].moveCount; ++k)
        if ((pos.moves[0][k] & ~(0xFF0000 | CastlingFlag)) == wanted) found = pos.moves[0][k];
    return found;
}

bool PlayMoveText(Game& game, const std::string& text) {
    const Move m = FindMoveText(game.pos, text);
    return m != NoMove && PlayMove(game, m);
}

bool StartGame(Game& game, const std::string& fen, bool chess960) {
    if (!SetPosition(game.pos, fen, chess960)) return false;
    game.history.count = 0;
    return true;
}

bool BitboardsMatchBoard(const Position& pos) {
    uint64_t byColour[2] = {0, 0}, byType[7] = {0, 0, 0, 0, 0, 0, 0};
    for (int s = 0; s < 128; ++s) {
        const Piece p = pos.board[s];
        if (!OnBoard(s) || p == 0) continue;
        if (TypeOf(p) < King || TypeOf(p) > Pawn) return false;
        byColour[SideOf(p) & 1] |= SquareBit(Square(s));
        byType[TypeOf(p)] |= SquareBit(Square(s));
    }
    for (int type = 1; type < 7; ++type)
        if (byType[type] != pos.byType[type]) return false;
    return byColour[0] == pos.byColour[0] && byColour[1] == pos.byColour[1];
}

bool BoardIsOk(const Position& pos, int ply, bool withKey) {
    const Piece* board = pos.board;
    const PlyState& ps = pos.ply[ply];
    for (int s = 0; s < 256; ++s)
        if (!OnBoard(s) || s >= 128)
            if (board[s] != 0) return false;
    if (!BitboardsMatchBoard(pos)) return false;
    int32_t material[2] = {0, 0};
    for (int s = 0; s < 128; ++s) {
        if (!OnBoard(s) || board[s] == 0) continue;
        Piece p = board[s];
        if ((p & (White | Black)) == 0 || (p & (White | Black)) == (White | Black)) return false;
        if (TypeOf(p) < King || TypeOf(p) > Pawn) return false;
        if (TypeOf(p) != King) material[SideOf(p)] += PieceValue[TypeOf(p)];
    }
    // A king can only be taken in a position no game reaches (a FEN text with the side not
    // to move in check); its value then leaves the material, which is otherwise a plain sum.
    bool hasKing[2] = {false, false};
    for (int s = 0; s < 128; ++s)
        if (OnBoard(s) && TypeOf(board[s]) == King) hasKing[SideOf(board[s])] = true;
    for (int side = 0; side < 2; ++side)
        if ((material[side] - ps.material[side]) % PieceValue[King] != 0) return false;
    for (int side = 0; side < 2; ++side) {
        Square q = ps.queenSquare[side];
        if (q != NoSquare && (!OnBoard(q) || board[q] != ((side ? Black : White) | Queen)))
            return false;
    }
    // A king square must name a king of its side, unless that side has no king at all
    // (a lenient FEN text may omit one).
    for (int side = 0; side < 2; ++side)
        if (hasKing[side] && board[ps.kingSquare[side]] != ((side ? Black : White) | King))
            return false;
    if (ps.side > 1) return false;
    if ((withKey && ps.key != ComputeKey(pos, ply)) || ps.pawnKey != ComputePawnKey(pos))
        return false;
    return true;
}
