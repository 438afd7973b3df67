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
    {E1, G1,       H1,       F1, C1, A1, D1, CastleWK, CastleWQ, 0,
     1,  CastleBK, CastleBQ, 2,  3,  H8, A8, 16,       White,    BlackPawn},
    {E8, G8,       H8,       F8, C8, A8, D8, CastleBK, CastleBQ, 2,
     3,  CastleWK, CastleWQ, 0,  1,  H1, A1, -16,      Black,    WhitePawn},
};

enum class MakeKind { Full, Capture, Trial };

template <MakeKind kind>
bool Make(Move move, int ply, const Checkers* checkers) {
    constexpr bool full = kind == MakeKind::Full;
    constexpr bool bookkeeping = kind != MakeKind::Trial;
    const PlyState& cur = Ply[ply];
    PlyState& next = Ply[ply + 1];
    const int us = cur.side, them = us ^ 1;
    const SideSquares& sq = Sides[us];
    const Square from = FromOf(move), to = ToOf(move);
    const int captured = CapturedOf(move), promotion = PromotionOf(move);
    const Square epTaken = Square(cur.epSquare - sq.forward);  // pawn removed by en passant
    // The legality test below trusts the in-check flag of the position before the move.
    assert(cur.inCheck == IsAttacked(uint8_t(us), uint8_t(ply), NoSquare));

    // Step 1. Start the new record.
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
    uint8_t castling = cur.castling;
    uint64_t key = cur.key;
    uint32_t pawnKey = cur.pawnKey;
    if constexpr (full) next.lastMove = move;

    // Step 2. The moving piece leaves its square; side and old en-passant square change.
    if constexpr (full) {
        if (promotion == 0) key ^= ZobristPiece[PieceIndex(from)][to];
        key ^= ZobristPiece[PieceIndex(from)][from] ^ ZobristEp[cur.epSquare] ^ ZobristSide;
    }

    // Step 3. The captured piece leaves the key.
    if (captured) {
        if (Board[to] == 0) {
            if constexpr (full) key ^= ZobristPiece[PieceIndex(epTaken)][epTaken];
        } else {
            if constexpr (full) key ^= ZobristPiece[PieceIndex(to)][to];
            if constexpr (bookkeeping)
                if (Board[to] == sq.enemyPawn) pawnKey ^= ZobristPawn[them][to];
            // A capture on the opponent's corner ends its castling right there, so a rook that
            // later stands on that corner cannot castle.
            if constexpr (full) {
                if (to == sq.enemyShortCorner && (castling & sq.enemyShortBit)) {
                    castling &= uint8_t(~sq.enemyShortBit);
                    key ^= ZobristCastle[sq.enemyShortKeyIndex];
                }
                if (to == sq.enemyLongCorner && (castling & sq.enemyLongBit)) {
                    castling &= uint8_t(~sq.enemyLongBit);
                    key ^= ZobristCastle[sq.enemyLongKeyIndex];
                }
            }
        }
    }

    // Step 4. Work that depends on the kind of the moving piece.
    switch (TypeOf(Board[from])) {
        case King:
            if (from == sq.kingHome && (to == sq.shortTo || to == sq.longTo)) {
                Square rookFrom = to == sq.shortTo ? sq.shortRookFrom : sq.longRookFrom;
                Square rookTo = to == sq.shortTo ? sq.shortRookTo : sq.longRookTo;
                if constexpr (full)
                    key ^= ZobristPiece[PieceIndex(rookFrom)][rookFrom] ^
                           ZobristPiece[PieceIndex(rookFrom)][rookTo];
                Board[rookTo] = Board[rookFrom];
                Board[rookFrom] = 0;
            }
            next.kingSquare[us] = to;
            if constexpr (full) {
                if (castling & sq.shortBit) key ^= ZobristCastle[sq.shortKeyIndex];
                if (castling & sq.longBit) key ^= ZobristCastle[sq.longKeyIndex];
                castling &= uint8_t(~(sq.shortBit | sq.longBit));
            }
            break;
        case Queen:
            if constexpr (bookkeeping) next.queenSquare[us] = to;
            break;
        case Rook:
            if constexpr (full) {
                if (from == sq.shortRookFrom && (castling & sq.shortBit)) {
                    key ^= ZobristCastle[sq.shortKeyIndex];
                    castling &= uint8_t(~sq.shortBit);
                }
                if (from == sq.longRookFrom && (castling & sq.longBit)) {
                    key ^= ZobristCastle[sq.longKeyIndex];
                    castling &= uint8_t(~sq.longBit);
                }
            }
            break;
        case Pawn:
            if constexpr (bookkeeping) {
                pawnKey ^= ZobristPawn[us][from];
                if (promotion == 0) pawnKey ^= ZobristPawn[us][to];
            }
            if constexpr (full) {
                // An en-passant square is set only when an enemy pawn could use it, so the same
                // position reached by another move order has the same key.
                if (to == Square(from + 2 * sq.forward) && (Board[Square(to + 1)] == sq.enemyPawn ||
                                                            Board[Square(to - 1)] == sq.enemyPawn))
                    next.epSquare = Square(from + sq.forward);
            }
            if (to == cur.epSquare && captured) {
                Board[epTaken] = 0;
                if constexpr (bookkeeping) pawnKey ^= ZobristPawn[them][epTaken];
            }
            break;
        default:
            break;
    }

    // Steps 5 and 6. Material and the tracked queens.
    if constexpr (bookkeeping) {
        if (captured) {
            next.material[them] -= PieceValue[captured];
            if (next.queenSquare[them] == to) next.queenSquare[them] = NoSquare;
        }
        if (promotion) next.material[us] += PieceValue[promotion] - 100;
    }

    // Step 7. The board.
    Board[to] = promotion ? Piece(sq.ownColour | promotion) : Board[from];
    Board[from] = 0;

    // Steps 8 and 9. The promoted piece and the new en-passant square enter the key.
    if constexpr (full) {
        if (promotion) key ^= ZobristPiece[PieceIndex(to)][to];
        key ^= ZobristEp[next.epSquare];
        next.key = key;
        next.castling = castling;
    }
    if constexpr (bookkeeping) next.pawnKey = pawnKey;

    // Step 10. Legality: the mover's king must not be left attacked. Unless the mover moved
    // its king or took en passant, only the line through the vacated square can have opened
    // onto the king, and of the pieces that gave check only those not taken or blocked still
    // attack it; so only those are looked at.
    const Square king = next.kingSquare[us];
    const bool special =
        TypeOf(Board[to]) == King || (captured && to == cur.epSquare && TypeOf(Board[to]) == Pawn);
    bool exposed;
    if (special || (cur.inCheck && (!checkers || checkers->count > MaxCheckers))) {
        exposed = IsAttacked(uint8_t(us), uint8_t(ply + 1), NoSquare);
    } else {
        exposed = IsAttackedThrough(uint8_t(us), king, from);
        if (cur.inCheck)
            for (int i = 0; i < checkers->count && !exposed; ++i)
                exposed = checkers->squares[i] != to && PieceAttacks(checkers->squares[i], king);
    }
    if (exposed) {
        TakeBack(move, ply);
        return false;
    }
    return true;
}

}  // namespace

bool MakeMove(Move move, int ply, const Checkers* checkers) {
    return Make<MakeKind::Full>(move, ply, checkers);
}
bool MakeCapture(Move move, int ply, const Checkers* checkers) {
    return Make<MakeKind::Capture>(move, ply, checkers);
}
bool MakeTrial(Move move, int ply) { return Make<MakeKind::Trial>(move, ply, nullptr); }

void TakeBack(Move move, int ply) {
    const PlyState& cur = Ply[ply];
    const SideSquares& sq = Sides[cur.side];
    const Square from = FromOf(move), to = ToOf(move);
    int captured = CapturedOf(move);
    if (TypeOf(Board[to]) == King && from == sq.kingHome) {
        if (to == sq.shortTo) {
            Board[sq.shortRookFrom] = Board[sq.shortRookTo];
            Board[sq.shortRookTo] = 0;
        } else if (to == sq.longTo) {
            Board[sq.longRookFrom] = Board[sq.longRookTo];
            Board[sq.longRookTo] = 0;
        }
    }
    if (TypeOf(Board[to]) == Pawn && to == cur.epSquare && captured) {
        Board[Square(cur.epSquare - sq.forward)] = sq.enemyPawn;
        captured = 0;
    }
    Board[from] = PromotionOf(move) ? Piece(sq.ownColour | Pawn) : Board[to];
    Board[to] = captured ? Piece((sq.ownColour ^ (White | Black)) | captured) : 0;
}

void CopyPlyState(int from, int to) {
    const PlyState& a = Ply[from];
    PlyState& b = Ply[to];
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

void MakeNullMove(int ply) {
    const PlyState& cur = Ply[ply];
    PlyState& next = Ply[ply + 1];
    CopyPlyState(ply, ply + 1);
    next.side = uint8_t(1 - cur.side);
    next.epSquare = NoSquare;
    next.key = cur.key ^ ZobristSide ^ ZobristEp[cur.epSquare];
    SetInCheck(ply + 1);
}

// Books the game position in the history of reversible moves. A pawn move, a capture or a
// promotion starts it again; when it is full the oldest key gives way.
static void BookHistory(Move move) {
    if (TypeOf(Board[ToOf(move)]) == Pawn || IsTactical(move)) HistoryCount = 0;
    if (HistoryCount == HistorySlots) {
        for (int s = 1; s < HistorySlots; ++s) GameHistory[s] = GameHistory[s + 1];
        --HistoryCount;
    }
    GameHistory[++HistoryCount] = Ply[0].key;
}

bool PlayMove(Move move) {
    if (!MakeMove(move, 0)) return false;
    CopyPlyState(1, 0);
    SetInCheck(0);  // the next make relies on it
    BookHistory(move);
    return true;
}

bool PlayMoveText(const std::string& text) {
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
    GenerateMoves(0);
    Move found = NoMove;
    for (int k = 1; k <= Ply[0].moveCount; ++k)
        if ((MoveTable[0][k] & 0xFF00FFFF) == wanted) found = MoveTable[0][k];
    return found != NoMove && PlayMove(found);
}

bool BoardIsOk(int ply) {
    const PlyState& ps = Ply[ply];
    for (int s = 0; s < 256; ++s)
        if (!OnBoard(s) || s >= 128)
            if (Board[s] != 0) return false;
    int32_t material[2] = {0, 0};
    for (int s = 0; s < 128; ++s) {
        if (!OnBoard(s) || Board[s] == 0) continue;
        Piece p = Board[s];
        if ((p & (White | Black)) == 0 || (p & (White | Black)) == (White | Black)) return false;
        if (TypeOf(p) < King || TypeOf(p) > Pawn) return false;
        if (TypeOf(p) != King) material[SideOf(p)] += PieceValue[TypeOf(p)];
    }
    // A king can only be taken in a position no game reaches (a FEN text with the side not
    // to move in check); its side's material is no longer a plain sum then.
    bool hasKing[2] = {false, false};
    for (int s = 0; s < 128; ++s)
        if (OnBoard(s) && TypeOf(Board[s]) == King) hasKing[SideOf(Board[s])] = true;
    for (int side = 0; side < 2; ++side)
        if (hasKing[side] && material[side] != ps.material[side]) return false;
    for (int side = 0; side < 2; ++side) {
        Square q = ps.queenSquare[side];
        if (q != NoSquare && (!OnBoard(q) || Board[q] != ((side ? Black : White) | Queen)))
            return false;
    }
    // A king square must name a king of its side, unless that side has no king at all
    // (a lenient FEN text may omit one).
    for (int side = 0; side < 2; ++side)
        if (hasKing[side] && Board[ps.kingSquare[side]] != ((side ? Black : White) | King))
            return false;
    if (ps.side > 1) return false;
    if (ps.key != ComputeKey(ply) || ps.pawnKey != ComputePawnKey()) return false;
    return true;
}
