// Attack sets: the squares a piece attacks from each square, as bitboards. They turn the attack
// questions, the generators' targets and the evaluation's mobility into a few word operations.
#pragma once

#include <cstdint>

#include "board/board.h"

// Offsets in test and generation order. A knight jumps two steps one way and one the other.
inline constexpr int8_t KnightOffsets[8] = {2 * West + North, 2 * East + South, 2 * East + North,
                                            2 * West + South, 2 * North + West, 2 * South + East,
                                            2 * North + East, 2 * South + West};
// Four orthogonal rays, then four diagonal ones. A ray's index is its place here: the rays of
// even index run towards higher squares, those of odd index towards lower ones.
inline constexpr int8_t KingOffsets[8] = {East,      West,      North,     South,
                                          NorthWest, SouthEast, NorthEast, SouthWest};
constexpr int FirstDiagonalRay = 4;

// Per 0x88 square (the holes' entries stay empty): the squares a knight, a king or a pawn of
// each colour attacks from it, and the squares of each ray from it to the edge.
struct AttackSets {
    uint64_t knight[128];
    uint64_t king[128];
    uint64_t pawn[2][128];
    uint64_t ray[8][128];
};
constexpr AttackSets MakeAttackSets() {
    AttackSets sets{};
    for (int s = 0; s < 128; ++s) {
        if (!OnBoard(s)) continue;
        auto add = [s](uint64_t& set, int offset) {
            if (s + offset >= 0 && OnBoard(s + offset)) set |= SquareBit(Square(s + offset));
        };
        for (int i = 0; i < 8; ++i) {
            add(sets.knight[s], KnightOffsets[i]);
            add(sets.king[s], KingOffsets[i]);
            for (int t = s + KingOffsets[i]; t >= 0 && OnBoard(t); t += KingOffsets[i])
                sets.ray[i][s] |= SquareBit(Square(t));
        }
        add(sets.pawn[0][s], NorthWest);
        add(sets.pawn[0][s], NorthEast);
        add(sets.pawn[1][s], SouthEast);
        add(sets.pawn[1][s], SouthWest);
    }
    return sets;
}
inline constexpr AttackSets Attacks = MakeAttackSets();

// The ray index (into KingOffsets) that leads from one square to another on its rank, file or
// diagonal, else -1; indexed by the 0x88 difference (to - from) + 119, which is unique per
// direction and distance on a 0x88 board.
struct RayIndexTable {
    int8_t index[239];
};
constexpr RayIndexTable MakeRayIndices() {
    RayIndexTable table{};
    for (int8_t& i : table.index) i = -1;
    for (int d = 0; d < 8; ++d)
        for (int k = 1; k <= 7; ++k) table.index[KingOffsets[d] * k + 119] = int8_t(d);
    return table;
}
inline constexpr RayIndexTable RayIndices = MakeRayIndices();
inline int RayIndexBetween(Square from, Square to) { return RayIndices.index[to - from + 119]; }

// The squares of the file of `s`.
inline uint64_t FileBits(Square s) { return 0x0101010101010101ull << (s & 7); }

// The nearest square of `set` (not empty) along ray `d` from its start, and its bit.
inline Square NearestOnRay(int d, uint64_t set) {
    return d & 1 ? LastSquare(set) : FirstSquare(set);
}
inline uint64_t NearestBitOnRay(int d, uint64_t set) {
    return d & 1 ? 1ull << (63 ^ __builtin_clzll(set)) : set & (0 - set);
}

// The squares strictly between two squares of one line (`d` the ray from `from` to `to`).
inline uint64_t SquaresBetween(int d, Square from, Square to) {
    return Attacks.ray[d][from] ^ Attacks.ray[d][to] ^ SquareBit(to);
}

// Rook and bishop attacks for any occupancy, by multiplication: the occupied squares of the
// piece's lines (the edges left out, as they never block anything behind them), multiplied
// by the square's magic number, give in their top bits an index into the square's part of
// the table. Queens take both.
struct SliderMagic {
    const uint64_t* attacks;
    uint64_t mask;
    uint64_t magic;
    int shift;
};
extern SliderMagic RookMagics[128];
extern SliderMagic BishopMagics[128];

inline uint64_t SliderAttacks(const SliderMagic& m, uint64_t occupied) {
    return m.attacks[((occupied & m.mask) * m.magic) >> m.shift];
}
inline uint64_t RookAttacks(Square s, uint64_t occupied) {
    return SliderAttacks(RookMagics[s], occupied);
}
inline uint64_t BishopAttacks(Square s, uint64_t occupied) {
    return SliderAttacks(BishopMagics[s], occupied);
}
