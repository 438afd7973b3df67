// Board, pieces and position state: the data model every other module works on.
#pragma once

#include <cstdint>

using Square = uint8_t;
using Piece = uint8_t;
using Move = uint32_t;

// 0x88 squares: rank * 16 + file. A value names a real square exactly when (s & 0x88) == 0.
constexpr Square NoSquare = 255;
// clang-format off
enum : Square {
    A1 = 0x00, B1, C1, D1, E1, F1, G1, H1,
    A2 = 0x10, B2, C2, D2, E2, F2, G2, H2,
    A3 = 0x20, B3, C3, D3, E3, F3, G3, H3,
    A4 = 0x30, B4, C4, D4, E4, F4, G4, H4,
    A5 = 0x40, B5, C5, D5, E5, F5, G5, H5,
    A6 = 0x50, B6, C6, D6, E6, F6, G6, H6,
    A7 = 0x60, B7, C7, D7, E7, F7, G7, H7,
    A8 = 0x70, B8, C8, D8, E8, F8, G8, H8,
};
// clang-format on

constexpr bool OnBoard(int s) { return (s & 0x88) == 0; }

// The square seen from `side`'s end of the board: black's ranks are white's flipped, so one
// piece of code written for white serves both colours.
constexpr Square RelativeSquare(int side, Square s) { return Square(side ? s ^ 0x70 : s); }
constexpr int RelativeRank(int side, int rank) { return side ? 7 - rank : rank; }

// Steps to the neighbouring square in each direction: white moves north.
constexpr int North = 16, South = -16, East = 1, West = -1;
constexpr int NorthEast = North + East, NorthWest = North + West;
constexpr int SouthEast = South + East, SouthWest = South + West;

// The square a text such as "e3" or "E3" names, or NoSquare.
Square SquareFromText(const char* text);

// Piece codes: a colour bit plus a type in the low three bits.
constexpr Piece White = 64, Black = 128;
constexpr Piece King = 1, Queen = 2, Rook = 3, Bishop = 4, Knight = 5, Pawn = 6;
constexpr Piece WhitePawn = White + Pawn, BlackPawn = Black + Pawn;

inline int TypeOf(Piece p) { return p & 7; }
inline int SideOf(Piece p) { return p >> 7; }  // 0 white, 1 black

constexpr int MaxGamePly = 200;  // PlyState holds plies 0..MaxGamePly

// Castling right bits.
constexpr uint8_t CastleWK = 1, CastleWQ = 2, CastleBK = 4, CastleBQ = 8;

// How castling goes in a position: where each right's rook starts, and how castling is
// written. Standard chess keeps its rooks in the corners and writes castling as the king's
// two-file step. A Chess960 game has its rooks where they started, which the FEN reader finds,
// and writes castling as the king taking its own rook; there a right means that its king and
// rook still stand on their squares, since the reader keeps no other and a move of either
// ends it. The rules hold for a whole game: rights are only ever lost.
struct CastlingRules {
    bool chess960 = false;
    Square rookFrom[4] = {H1, A1, H8, A8};  // by the right's bit number: WK, WQ, BK, BQ
    uint8_t rookRight[128] = {};            // the right whose rook starts on a square, or 0
    uint64_t keys[16] = {};                 // the key of each set of rights
};

// Hash bound kinds, as stored in the transposition table.
constexpr uint8_t BoundNone = 0, BoundUpper = 1, BoundExact = 2, BoundLower = 3;

// One record per ply. Making a move at ply p fills record p + 1 from record p, so taking a
// move back only has to restore the board cells.
struct PlyState {
    // Position fields: written by the make operations, copied by CopyPlyState.
    uint8_t side;         // side to move: 0 white, 1 black
    uint8_t castling;     // castling right bits
    Square epSquare;      // square a capturing pawn would move to, NoSquare if none
    uint64_t key;         // Zobrist key of the position
    uint32_t pawnKey;     // key of the pawn placement alone
    int32_t material[2];  // per side: sum of piece values, king excluded
    Square kingSquare[2];
    Square queenSquare[2];  // one tracked queen per side, NoSquare if none
    Move lastMove;          // the move that led to this position
    // Scratch fields: recomputed by the generators and the search at every visit.
    int32_t moveCount;  // number of moves in this ply's move list
    uint8_t inCheck;    // 1 when the side to move is in check
};

// Deepest ply that owns a move list. A search node at this ply does not expand further.
constexpr int MaxSearchPly = 100;

// Capacity of one ply's list. No piece has more than 27 moves and a side has at most 64
// pieces, so 2048 slots hold every list the FEN reader can produce, with room for the
// sort's sentinel.
constexpr int MaxMovesPerPly = 2048;

// Row length of the per-ply tables: a little more than the capacity, so that the same entry
// of neighbouring plies does not fall into the same cache set.
constexpr int MoveListStride = MaxMovesPerPly + 16;

// What make, take-back and generation work on: the board, one record per ply, and the move
// list of each search ply. The game keeps one position and every search thread its own, so
// that searches never share a board.
struct Position {
    // 256 cells so that any 8-bit index is safe to read. Only real squares may ever hold a
    // piece.
    Piece board[256];
    // The same pieces as sets of squares, a bit per square (see SquareBit): per colour, and
    // per type for both colours together (entry 0 unused). The board stays the truth; these
    // answer "which pieces attack this square" with a few word operations instead of walks
    // along rays. Only AddPiece, ClearPiece and MovePiece (and the FEN reader) change them,
    // each together with the board.
    uint64_t byColour[2];
    uint64_t byType[7];
    CastlingRules castlingRules;
    // Record p + 1 is written by the make at ply p; ply 0 is the root.
    PlyState ply[MaxGamePly + 1];
    // The moves as generated, per ply; entries are numbered from 1.
    Move moves[MaxSearchPly + 1][MoveListStride];
};

// The pieces of a position, its board and bitboards, and its castling rules, without its
// records and lists: what a search keeps of the game's position.
struct Placement {
    Piece board[256];
    uint64_t byColour[2];
    uint64_t byType[7];
    CastlingRules castlingRules;
};
void SavePlacement(Placement& to, const Position& from);
void RestorePlacement(Position& to, const Placement& from);

// The keys of the positions a game went through since its last irreversible move, oldest first,
// in slots 1..count: a search counts them when it looks for repetitions. When it is full the
// oldest key gives way.
constexpr int HistorySlots = 128;
struct KeyHistory {
    uint64_t keys[HistorySlots + 1];
    int count = 0;
};

// A game: its position and the keys it went through. The command loop keeps one, set by the
// POSITION command; a search copies it when it starts, so the game may change meanwhile.
struct Game {
    Position pos;
    KeyHistory history;
};

// Piece values by type; the king's value never enters material.
extern const int32_t PieceValue[7];

extern const char SquareNames[128][3];
extern const char PieceLetters[15];
extern const char StartFen[];

// Bit numbers of the bitboards: rank * 8 + file, so a1 is bit 0, h1 bit 7 and h8 bit 63, and
// ascending bits visit the squares in the board's own a1..h8 order.
constexpr int BitIndex(Square s) { return (s + (s & 7)) >> 1; }
constexpr Square SquareOfBit(int bit) { return Square(bit + (bit & 0x38)); }
struct SquareBitTable {
    uint64_t bit[256];  // 0 for the holes and the upper half
};
constexpr SquareBitTable MakeSquareBits() {
    SquareBitTable table{};
    for (int s = 0; s < 128; ++s)
        if (OnBoard(s)) table.bit[s] = 1ull << BitIndex(Square(s));
    return table;
}
inline constexpr SquareBitTable SquareBits = MakeSquareBits();
constexpr uint64_t SquareBit(Square s) { return SquareBits.bit[s]; }

// The square of the lowest bit of a non-empty set, and the set without it.
inline Square FirstSquare(uint64_t set) { return SquareOfBit(__builtin_ctzll(set)); }
inline Square LastSquare(uint64_t set) { return SquareOfBit(63 ^ __builtin_clzll(set)); }
inline Square PopFirstSquare(uint64_t& set) {
    const Square s = FirstSquare(set);
    set &= set - 1;
    return s;
}

inline uint64_t Occupied(const Position& pos) { return pos.byColour[0] | pos.byColour[1]; }
// The pieces of one colour (0 white, 1 black) and type.
inline uint64_t PiecesOf(const Position& pos, int side, int type) {
    return pos.byColour[side] & pos.byType[type];
}

// Puts `p` into the bitboards at `s`, or takes it out: the bitboards' half of an update of
// the board.
inline void FlipBits(Position& pos, Square s, Piece p) {
    const uint64_t bit = SquareBit(s);
    pos.byColour[SideOf(p)] ^= bit;
    pos.byType[TypeOf(p)] ^= bit;
}
