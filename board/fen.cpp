// The FEN reader.
#include "board/fen.h"

#include <bit>
#include <cassert>
#include <cstring>

#include "movegen/attack.h"
#include "movegen/move.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "uci/util.h"

static Piece PieceOfLetter(char c) {
    static const char letters[] = "KQRBNPkqrbnp";
    const char* at = std::strchr(letters, c);
    if (c == 0 || at == nullptr) return 0;
    int index = int(at - letters);
    return Piece((index < 6 ? White : Black) | (index % 6 + 1));
}

// Books the piece on a square just reached: king and queen squares, and material.
static void BookSquare(Position& pos, Square s) {
    PlyState& ps = pos.ply[0];
    Piece p = pos.board[s];
    if (p == 0) return;
    int side = SideOf(p);
    if (TypeOf(p) == King) {
        ps.kingSquare[side] = s;
        return;
    }
    if (TypeOf(p) == Queen) ps.queenSquare[side] = s;
    ps.material[side] += PieceValue[TypeOf(p)];
}

static void ReadPlacement(Position& pos, std::string_view placement) {
    for (int rank = 7; rank >= 0; --rank) {
        std::string rankText;
        SplitToken(placement, '/', rankText);
        int file = 0;
        for (char c : rankText) {
            if (c >= '1' && c <= '9') {
                file += c - '1';  // now on the last of the empty squares
            } else if (Piece p = PieceOfLetter(c); p && file <= 7) {
                pos.board[rank * 16 + file] = p;  // a piece beyond the h-file is dropped
            }
            if (file <= 7) BookSquare(pos, Square(rank * 16 + file));
            ++file;
        }
    }
}

// An en-passant square is kept only when a pawn could really have just passed it: the square
// is empty and the pawn that made the double step stands beyond it.
static bool EpSquareIsConsistent(const Position& pos, Square ep, int side) {
    if (!OnBoard(ep) || pos.board[ep] != 0) return false;
    if (side == 0) return (ep >> 4) == 5 && pos.board[ep + South] == BlackPawn;
    return (ep >> 4) == 2 && pos.board[ep + North] == WhitePawn;
}

// Standard castling: the rooks in the corners.
static void SetStandardCastling(Position& pos) {
    pos.castlingRules = CastlingRules{};
    CastlingRules& rules = pos.castlingRules;
    for (int right = 0; right < 4; ++right)
        rules.rookRight[rules.rookFrom[right]] = uint8_t(1 << right);
}

// The castling field of a Chess960 position: "K", "Q", "k" and "q" (X-FEN) name the outermost
// rook on that side of the king, a file letter (Shredder-FEN, upper case for white) the rook
// on that file. A right is kept only when its king stands on its first rank with that rook
// beside it, on the side the right names.
static uint8_t ReadChess960Castling(Position& pos, const std::string& field) {
    CastlingRules& rules = pos.castlingRules;
    rules = CastlingRules{};
    rules.chess960 = true;
    uint8_t rights = 0;
    for (char c : field) {
        const int side = c >= 'a' ? 1 : 0;
        const char upper = char(c & ~0x20);
        const int rank = side ? 0x70 : 0x00;
        const Piece king = Piece((side ? Black : White) | King);
        const Piece rook = Piece((side ? Black : White) | Rook);
        int kingFile = -1;
        for (int file = 0; file < 8; ++file)
            if (pos.board[rank + file] == king) kingFile = file;
        if (kingFile < 0) continue;
        int rookFile = -1;
        if (upper == 'K' || upper == 'Q') {
            // The outermost rook on that side of the king.
            const bool shortSide = upper == 'K';
            for (int file = shortSide ? 7 : 0; file != kingFile; file += shortSide ? -1 : 1)
                if (pos.board[rank + file] == rook) {
                    rookFile = file;
                    break;
                }
        } else if (upper >= 'A' && upper <= 'H' && pos.board[rank + (upper - 'A')] == rook) {
            rookFile = upper - 'A';
        }
        if (rookFile < 0 || rookFile == kingFile) continue;
        const int right = 2 * side + (rookFile < kingFile ? 1 : 0);
        rights |= uint8_t(1 << right);
        rules.rookFrom[right] = Square(rank + rookFile);
    }
    for (int right = 0; right < 4; ++right)
        if (rights & (1 << right)) rules.rookRight[rules.rookFrom[right]] = uint8_t(1 << right);
    return rights;
}

// The search follows one king a side (its square, the checks on it); a second king of a side
// would be invisible to it. No side may have more than one; none at all is allowed.
static bool KingsAreFollowable(const Position& pos) {
    return std::popcount(pos.byType[King] & pos.byColour[0]) <= 1 &&
           std::popcount(pos.byType[King] & pos.byColour[1]) <= 1;
}

bool SetPosition(Position& pos, const std::string& fen, bool chess960) {
    PlyState& ps = pos.ply[0];
    Placement before;
    SavePlacement(before, pos);
    const PlyState recordBefore = ps;
    std::memset(pos.board, 0, sizeof pos.board);
    std::memset(pos.byColour, 0, sizeof pos.byColour);
    std::memset(pos.byType, 0, sizeof pos.byType);
    ps.material[0] = ps.material[1] = 0;
    ps.kingSquare[0] = ps.kingSquare[1] = A1;
    ps.queenSquare[0] = ps.queenSquare[1] = NoSquare;

    std::string_view text = fen;
    std::string field;
    SplitToken(text, ' ', field);
    ReadPlacement(pos, field);
    for (int s = 0; s < 128; ++s)
        if (OnBoard(s) && pos.board[s]) FlipBits(pos, Square(s), pos.board[s]);
    if (!KingsAreFollowable(pos)) {
        RestorePlacement(pos, before);
        ps = recordBefore;
        return false;
    }

    SplitToken(text, ' ', field);
    ps.side = field == "b" ? 1 : 0;  // anything else, even a missing field, means white

    SplitToken(text, ' ', field);
    ps.castling = 0;
    SetStandardCastling(pos);
    if (chess960) {
        ps.castling = ReadChess960Castling(pos, field);
    } else {
        for (char c : field) {
            if (c == 'K') ps.castling |= CastleWK;
            if (c == 'Q') ps.castling |= CastleWQ;
            if (c == 'k') ps.castling |= CastleBK;
            if (c == 'q') ps.castling |= CastleBQ;
        }
    }
    SetCastlingKeys(pos.castlingRules);

    SplitToken(text, ' ', field);
    ps.epSquare = NoSquare;
    const Square ep = field.size() >= 2 ? SquareFromText(field.c_str()) : NoSquare;
    if (ep != NoSquare && EpSquareIsConsistent(pos, ep, ps.side)) ps.epSquare = ep;

    ps.lastMove = NoMove;  // the root reads it for the recapture extension
    SetInCheck(pos, 0);
    ps.key = ComputeKey(pos, 0);
    ps.pawnKey = ComputePawnKey(pos);
    assert(BoardIsOk(pos, 0));
    return true;
}
