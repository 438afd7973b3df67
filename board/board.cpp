// Board, pieces and position state.
#include "board/board.h"

#include "movemake/hash.h"

Piece Board[256];
PlyState Ply[MaxGamePly + 1];
uint64_t GameHistory[HistorySlots + 1];
uint8_t HistoryCount;
uint8_t StopFlag;

const int32_t PieceValue[7] = {0, 100000, 1200, 600, 400, 400, 100};

const char PieceLetters[15] = ".KQRBNP.kqrbnp";

const char StartFen[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// "a1".."h8" for the real squares and "**" for the 0x88 holes.
const char SquareNames[128][3] = {
    "a1", "b1", "c1", "d1", "e1", "f1", "g1", "h1", "**", "**", "**", "**", "**", "**", "**", "**",
    "a2", "b2", "c2", "d2", "e2", "f2", "g2", "h2", "**", "**", "**", "**", "**", "**", "**", "**",
    "a3", "b3", "c3", "d3", "e3", "f3", "g3", "h3", "**", "**", "**", "**", "**", "**", "**", "**",
    "a4", "b4", "c4", "d4", "e4", "f4", "g4", "h4", "**", "**", "**", "**", "**", "**", "**", "**",
    "a5", "b5", "c5", "d5", "e5", "f5", "g5", "h5", "**", "**", "**", "**", "**", "**", "**", "**",
    "a6", "b6", "c6", "d6", "e6", "f6", "g6", "h6", "**", "**", "**", "**", "**", "**", "**", "**",
    "a7", "b7", "c7", "d7", "e7", "f7", "g7", "h7", "**", "**", "**", "**", "**", "**", "**", "**",
    "a8", "b8", "c8", "d8", "e8", "f8", "g8", "h8", "**", "**", "**", "**", "**", "**", "**", "**",
};

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
