// The attack questions and the move lists worked out by walking rays over the 0x88 board, square by
// square, as the engine answered them before it kept bitboards. They read the board alone, so the
// suite holds the engine's bitboard answers against them in every position it visits.
#pragma once

#include "movegen/attack.h"

namespace reference {

bool IsAttacked(const Position& pos, uint8_t side, uint8_t ply, Square square);
void FindCheckers(const Position& pos, uint8_t side, Square square, Checkers& out);
// The pinned pieces, each with the step from the king towards it.
struct WalkedPins {
    int count;
    Square squares[8];
    int8_t steps[8];
};
void FindPins(const Position& pos, uint8_t side, Square king, WalkedPins& out);
bool CannotEscapeCheck(const Position& pos, Move move, int ply, const Checkers& checkers);
bool PieceAttacks(const Position& pos, Square from, Square target);
bool GivesCheck(const Position& pos, Move move, int ply);
bool WouldGiveCheck(const Position& pos, Move move, int ply);
bool IsAttackedThrough(const Position& pos, uint8_t side, Square king, Square through);

// The evaluation's mobility of a rook or a bishop on `s` (whatever stands there): the empty
// squares met walking out along each line until a piece or the edge, a rook's file and a
// bishop's lines counted twice.
int RookMobility(const Position& pos, Square s);
int BishopMobility(const Position& pos, Square s);

// The full list and the capture list, in the engine's generation order.
void GenerateMoves(Position& pos, int ply);
void GenerateCaptures(Position& pos, int ply);

}  // namespace reference
