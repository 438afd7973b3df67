// Making and taking back moves, with incremental keys and the legality test.
#include "movemake/movemake.h"

#include <cassert>

#include "movegen/attack.h"
#include "movegen/genmoves.h"
#include "movemake/hash.h"

namespace {

// Everything that differs between the two colours' moves, indexed by the mover's side.
struct SideSquares {
    Square kingHome, shortTo, shortRookFrom, shortRookTo, longTo, longRookFrom, longRookTo;
    uint8_t shortBit, longBit;            // the mover's castling bits
    int shortKeyIndex, longKeyIndex;      // their ZobristCastle entries
    uint8_t enemyShortBit, enemyLongBit;  // the opponent's bits for its corners
    int enemyShortKeyIndex, enemyLongKeyIndex;
    Square enemyShortCorner, enemyLongCorner;
    int forward;  // one rank towards the opponent
    Piece ownColour, enemyPawn;
};

constexpr SideSquares Sides[2] = {
    {.kingHome = E1,
     .shortTo = G1,
     .shortRookFrom = H1,
     .shortRookTo = F1,
     .longTo = C1,
     .longRookFrom = A1,
     .longRookTo = D1,
     .shortBit = CastleWK,
     .longBit = CastleWQ,
     .shortKeyIndex = 0,
     .longKeyIndex = 1,
     .enemyShortBit = CastleBK,
     .enemyLongBit = CastleBQ,
     .enemyShortKeyIndex = 2,
     .enemyLongKeyIndex = 3,
     .enemyShortCorner = H8,
     .enemyLongCorner = A8,
     .forward = North,
     .ownColour = White,
     .enemyPawn = BlackPawn},
    {.kingHome = E8,
     .shortTo = G8,
     .shortRookFrom = H8,
     .shortRookTo = F8,
     .longTo = C8,
     .longRookFrom = A8,
     .longRookTo = D8,
     .shortBit = CastleBK,
     .longBit = CastleBQ,
     .shortKeyIndex = 2,
     .longKeyIndex = 3,
     .enemyShortBit = CastleWK,
     .enemyLongBit = CastleWQ,
     .enemyShortKeyIndex = 0,
     .enemyLongKeyIndex = 1,
     .enemyShortCorner = H1,
     .enemyLongCorner = A1,
     .forward = South,
     .ownColour = Black,
     .enemyPawn = WhitePawn},
};

// The three makes: the full one for the search, the quiescence one without the 64-bit key,
// castling rights and last move, and the board-only trial.
enum class MakeKind { Full, Capture, Trial };

// What a make builds up before it writes the new record.
struct Making {
    Piece* board;
    const PlyState& cur;
    PlyState& next;
    const SideSquares& sq;
    Square from, to;
    uint8_t castling;
    uint64_t key;
    uint32_t pawnKey;
};

// Drops one castling right, and its key, if the side still has it.
inline void DropRight(Making& m, uint8_t bit, int keyIndex) {
    if (!(m.castling & bit)) return;
    m.castling &= uint8_t(~bit);
    m.key ^= ZobristCastle[keyIndex];
}

// Step 3. The captured piece leaves the keys. A capture on the opponent's corner ends its
// castling right there, so a rook that later stands on that corner cannot castle.
template <MakeKind kind>
void TakeCaptured(Making& m, Square epTaken, int them) {
    if (m.board[m.to] == 0) {  // en passant: the pawn beside the target square
        if constexpr (kind == MakeKind::Full)
            m.key ^= ZobristPiece[PieceIndex(m.board[epTaken])][epTaken];
        return;
    }
    if constexpr (kind == MakeKind::Full) m.key ^= ZobristPiece[PieceIndex(m.board[m.to])][m.to];
    if constexpr (kind != MakeKind::Trial)
        if (m.board[m.to] == m.sq.enemyPawn) m.pawnKey ^= ZobristPawn[them][m.to];
    if constexpr (kind == MakeKind::Full) {
        if (m.to == m.sq.enemyShortCorner)
            DropRight(m, m.sq.enemyShortBit, m.sq.enemyShortKeyIndex);
        if (m.to == m.sq.enemyLongCorner) DropRight(m, m.sq.enemyLongBit, m.sq.enemyLongKeyIndex);
    }
}

// Step 4, king: castling brings the rook along; any king move ends both rights.
template <MakeKind kind>
void MoveKing(Making& m, int us) {
    if (m.from == m.sq.kingHome && (m.to == m.sq.shortTo || m.to == m.sq.longTo)) {
        const bool isShort = m.to == m.sq.shortTo;
        const Square rookFrom = isShort ? m.sq.shortRookFrom : m.sq.longRookFrom;
        const Square rookTo = isShort ? m.sq.shortRookTo : m.sq.longRookTo;
        if constexpr (kind == MakeKind::Full)
            m.key ^= ZobristPiece[PieceIndex(m.board[rookFrom])][rookFrom] ^
                     ZobristPiece[PieceIndex(m.board[rookFrom])][rookTo];
        m.board[rookTo] = m.board[rookFrom];
        m.board[rookFrom] = 0;
    }
    m.next.kingSquare[us] = m.to;
    if constexpr (kind == MakeKind::Full) {
        DropRight(m, m.sq.shortBit, m.sq.shortKeyIndex);
        DropRight(m, m.sq.longBit, m.sq.longKeyIndex);
    }
}

// Step 4, rook: leaving its corner ends that side's right.
inline void MoveRook(Making& m) {
    if (m.from == m.sq.shortRookFrom) DropRight(m, m.sq.shortBit, m.sq.shortKeyIndex);
    if (m.from == m.sq.longRookFrom) DropRight(m, m.sq.longBit, m.sq.longKeyIndex);
}

// Step 4, pawn: the pawn key, the en-passant square after a double step, and the pawn that
// en passant takes.
template <MakeKind kind>
void MovePawn(Making& m, bool captured, int promotion, Square epTaken, int us, int them) {
    if constexpr (kind != MakeKind::Trial) {
        m.pawnKey ^= ZobristPawn[us][m.from];
        if (promotion == 0) m.pawnKey ^= ZobristPawn[us][m.to];
    }
    if constexpr (kind == MakeKind::Full) {
        // An en-passant square is set only when an enemy pawn could use it, so the same
        // position reached by another move order has the same key.
        if (m.to == Square(m.from + 2 * m.sq.forward) &&
            (m.board[Square(m.to + East)] == m.sq.enemyPawn ||
             m.board[Square(m.to + West)] == m.sq.enemyPawn))
            m.next.epSquare = Square(m.from + m.sq.forward);
    }
    if (m.to == m.cur.epSquare && captured) {
        m.board[epTaken] = 0;
        if constexpr (kind != MakeKind::Trial) m.pawnKey ^= ZobristPawn[them][epTaken];
    }
}

// Step 10. Legality: the mover's king must not be left attacked. Unless the mover moved its
// king or took en passant, only the line through the vacated square can have opened onto the
// king, and of the pieces that gave check only those not taken or blocked still attack it; so
// only those are looked at.
[[gnu::always_inline]] inline bool LeavesKingAttacked(const Position& pos, const Making& m, int ply,
                                                      bool captured, const Checkers* checkers) {
    const int us = m.cur.side;
    const Square king = m.next.kingSquare[us];
    const bool special = TypeOf(m.board[m.to]) == King ||
                         (captured && m.to == m.cur.epSquare && TypeOf(m.board[m.to]) == Pawn);
    if (special || (m.cur.inCheck && (!checkers || checkers->count > MaxCheckers)))
        return IsAttacked(pos, uint8_t(us), uint8_t(ply + 1), NoSquare);
    bool exposed = IsAttackedThrough(pos, uint8_t(us), king, m.from);
    if (m.cur.inCheck)
        for (int i = 0; i < checkers->count && !exposed; ++i)
            exposed = checkers->squares[i] != m.to && PieceAttacks(pos, checkers->squares[i], king);
    return exposed;
}

template <MakeKind kind>
bool Make(Position& pos, Move move, int ply, const Checkers* checkers) {
    constexpr bool full = kind == MakeKind::Full;
    constexpr bool bookkeeping = kind != MakeKind::Trial;
    Piece* board = pos.board;
    const PlyState& cur = pos.ply[ply];
    PlyState& next = pos.ply[ply + 1];
    const int us = cur.side, them = us ^ 1;
    const int captured = CapturedOf(move), promotion = PromotionOf(move);
    Making m{board,      cur,          next,    Sides[us],  FromOf(move),
             ToOf(move), cur.castling, cur.key, cur.pawnKey};
    const Square epTaken = Square(cur.epSquare - m.sq.forward);  // pawn removed by en passant
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

    // Step 2. The moving piece leaves its square; side and old en-passant square change.
    if constexpr (full) {
        const int moved = PieceIndex(board[m.from]);
        if (promotion == 0) m.key ^= ZobristPiece[moved][m.to];
        m.key ^= ZobristPiece[moved][m.from] ^ ZobristEp[cur.epSquare] ^ ZobristSide;
    }

    // Step 3. The captured piece leaves the keys.
    if (captured) TakeCaptured<kind>(m, epTaken, them);

    // Step 4. What the kind of the moving piece brings along.
    switch (TypeOf(board[m.from])) {
        case King:
            MoveKing<kind>(m, us);
            break;
        case Queen:
            if constexpr (bookkeeping) next.queenSquare[us] = m.to;
            break;
        case Rook:
            if constexpr (full) MoveRook(m);
            break;
        case Pawn:
            MovePawn<kind>(m, captured, promotion, epTaken, us, them);
            break;
        default:
            break;
    }

    // Steps 5 and 6. Material and the tracked queens.
    if constexpr (bookkeeping) {
        if (captured) {
            next.material[them] -= PieceValue[captured];
            if (next.queenSquare[them] == m.to) next.queenSquare[them] = NoSquare;
        }
        if (promotion) next.material[us] += PieceValue[promotion] - PieceValue[Pawn];
    }

    // Step 7. The board.
    board[m.to] = promotion ? Piece(m.sq.ownColour | promotion) : board[m.from];
    board[m.from] = 0;

    // Steps 8 and 9. The promoted piece and the new en-passant square enter the key.
    if constexpr (full) {
        if (promotion) m.key ^= ZobristPiece[PieceIndex(board[m.to])][m.to];
        m.key ^= ZobristEp[next.epSquare];
        next.key = m.key;
        next.castling = m.castling;
    }
    if constexpr (bookkeeping) next.pawnKey = m.pawnKey;

    // Step 10. Legality.
    if (LeavesKingAttacked(pos, m, ply, captured != 0, checkers)) {
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
    Piece* board = pos.board;
    const PlyState& cur = pos.ply[ply];
    const SideSquares& sq = Sides[cur.side];
    const Square from = FromOf(move), to = ToOf(move);
    int captured = CapturedOf(move);
    if (TypeOf(board[to]) == King && from == sq.kingHome) {
        if (to == sq.shortTo) {
            board[sq.shortRookFrom] = board[sq.shortRookTo];
            board[sq.shortRookTo] = 0;
        } else if (to == sq.longTo) {
            board[sq.longRookFrom] = board[sq.longRookTo];
            board[sq.longRookTo] = 0;
        }
    }
    if (TypeOf(board[to]) == Pawn && to == cur.epSquare && captured) {
        board[Square(cur.epSquare - sq.forward)] = sq.enemyPawn;
        captured = 0;
    }
    board[from] = PromotionOf(move) ? Piece(sq.ownColour | Pawn) : board[to];
    board[to] = captured ? Piece((sq.ownColour ^ (White | Black)) | captured) : 0;
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

// Books the game position in the history of reversible moves. A pawn move, a capture or a
// promotion starts it again; when it is full the oldest key gives way.
static void BookHistory(const Position& pos, Move move) {
    if (TypeOf(pos.board[ToOf(move)]) == Pawn || IsTactical(move)) HistoryCount = 0;
    if (HistoryCount == HistorySlots) {
        for (int s = 1; s < HistorySlots; ++s) GameHistory[s] = GameHistory[s + 1];
        --HistoryCount;
    }
    GameHistory[++HistoryCount] = pos.ply[0].key;
}

bool PlayMove(Position& pos, Move move) {
    if (!MakeMove(pos, move, 0)) return false;
    CopyPlyState(pos, 1, 0);
    SetInCheck(pos, 0);  // the next make relies on it
    BookHistory(pos, move);
    return true;
}

bool PlayMoveText(Position& pos, const std::string& text) {
    if (text.size() < 4) return false;
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
        if ((pos.moves[0][k] & 0xFF00FFFF) == wanted) found = pos.moves[0][k];
    return found != NoMove && PlayMove(pos, found);
}

bool BoardIsOk(const Position& pos, int ply) {
    const Piece* board = pos.board;
    const PlyState& ps = pos.ply[ply];
    for (int s = 0; s < 256; ++s)
        if (!OnBoard(s) || s >= 128)
            if (board[s] != 0) return false;
    int32_t material[2] = {0, 0};
    for (int s = 0; s < 128; ++s) {
        if (!OnBoard(s) || board[s] == 0) continue;
        Piece p = board[s];
        if ((p & (White | Black)) == 0 || (p & (White | Black)) == (White | Black)) return false;
        if (TypeOf(p) < King || TypeOf(p) > Pawn) return false;
        if (TypeOf(p) != King) material[SideOf(p)] += PieceValue[TypeOf(p)];
    }
    // A king can only be taken in a position no game reaches (a FEN text with the side not
    // to move in check); its side's material is no longer a plain sum then.
    bool hasKing[2] = {false, false};
    for (int s = 0; s < 128; ++s)
        if (OnBoard(s) && TypeOf(board[s]) == King) hasKing[SideOf(board[s])] = true;
    for (int side = 0; side < 2; ++side)
        if (hasKing[side] && material[side] != ps.material[side]) return false;
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
    if (ps.key != ComputeKey(pos, ply) || ps.pawnKey != ComputePawnKey(pos)) return false;
    return true;
}
