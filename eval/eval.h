// The static evaluation and its tables.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "movegen/bitboard.h"

struct PawnTable;

// A table per colour, indexed by 0x88 square; the black table is the white one mirrored rank
// for rank (s ^ 0x70), so each colour reads its table by the piece's own square.
using SquareTable = int8_t[2][128];

extern const SquareTable& KingSquareTable;     // while the opponent keeps its queen and more
extern const SquareTable& KingEndSquareTable;  // otherwise
extern const SquareTable& QueenSquareTable;
extern const SquareTable& RookSquareTable;
extern const SquareTable& BishopSquareTable;
extern const SquareTable& KnightSquareTable;
extern const SquareTable& PawnSquareTable;

// Mating a bare king: high values in the light corners (a8, h1), the dark corners (a1, h8),
// and which squares are dark.
extern const int8_t (&LightCornerTable)[128];
extern const int8_t (&DarkCornerTable)[128];
extern const int8_t (&DarkSquare)[128];

// Pawn structure and king shelter, indexed by file or by rank counted from the owner's side.
extern const uint8_t ShieldPenalty[8];
extern const uint8_t DoubledPenalty[8];
extern const uint8_t IsolatedPenalty[8];
extern const uint8_t PassedBonus[8];
constexpr int MissingShieldPenalty = 45;

// Geometry, filled by InitDistance: truncated Euclidean distance, file and rank of a square.
extern uint8_t Distance[128][128];
extern uint8_t FileOf[128];
extern uint8_t RankOf[128];
void InitDistance();

// Mobility, over the occupied squares `occupied`: the empty squares a rook reaches, those
// along its file counted twice; twice those a bishop reaches.
inline int32_t RookMobility(Square s, uint64_t occupied) {
    const uint64_t reached = RookAttacks(s, occupied) & ~occupied;
    return __builtin_popcountll(reached) + __builtin_popcountll(reached & FileBits(s));
}
inline int32_t BishopMobility(Square s, uint64_t occupied) {
    return 2 * __builtin_popcountll(BishopAttacks(s, occupied) & ~occupied);
}

// The evaluation of the position at `ply` for the side to move, with the pawn terms cached in
// `pawns`. With a null window far from the material balance it returns the balance alone.
int32_t Evaluate(const Position& pos, PawnTable& pawns, int ply, int32_t alpha, int32_t beta);

// The terms the evaluation adds up, each as what it gains one side.
enum EvalTerm {
    TermMaterial,     // piece values
    TermTables,       // piece-square tables of kings and pieces (pawns: TermPawns)
    TermPawns,        // pawn tables, doubled and isolated pawns
    TermPassedPawns,  // passed pawns by rank
    TermKingSafety,   // missing shelter pawns, rooks trapped by their own king
    TermPieces,       // mobility, rook files and ranks, bishop pair, queen near the king
    TermEndgame,      // against a bare king: mating force, its corner, the king's approach
    TermScaling,      // what the drawish-ending rules took off or added
    TermCount
};
extern const char* const EvalTermNames[TermCount];

// Every term of a full evaluation (no window, no cache), per side: white's gain minus
// black's, summed over the terms, is the score from white's point of view.
struct EvalTrace {
    int32_t gain[TermCount][2];
};

// The full evaluation for the side to move, with every term kept in `trace`. It equals
// Evaluate with an open window.
int32_t EvaluateWithTrace(const Position& pos, int ply, EvalTrace& trace);
