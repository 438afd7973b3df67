// The FEN reader.
#include "board/fen.h"

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

void SetPosition(Position& pos, const std::string& fen) {
    PlyState& ps = pos.ply[0];
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

    SplitToken(text, ' ', field);
    ps.side = field == "b" ? 1 : 0;  // anything else, even a missing field, means white

    SplitToken(text, ' ', field);
    ps.castling = 0;
    for (char c : field) {
        if (c == 'K') ps.castling |= CastleWK;
        if (c == 'Q') ps.castling |= CastleWQ;
        if (c == 'k') ps.castling |= CastleBK;
        if (c == 'q') ps.castling |= CastleBQ;
    }

    SplitToken(text, ' ', field);
    ps.epSquare = NoSquare;
    const Square ep = field.size() >= 2 ? SquareFromText(field.c_str()) : NoSquare;
    if (ep != NoSquare && EpSquareIsConsistent(pos, ep, ps.side)) ps.epSquare = ep;

    ps.lastMove = NoMove;  // the root reads it for the recapture extension
    SetInCheck(pos, 0);
    ps.key = ComputeKey(pos, 0);
    ps.pawnKey = ComputePawnKey(pos);
    assert(BoardIsOk(pos, 0));
}
