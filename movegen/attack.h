// Attack detection: does a colour attack a square of the current board?
#pragma once

#include <cstdint>

#include "board/board.h"

// Offsets in test and generation order.
extern const int8_t KnightOffsets[8];
extern const int8_t KingOffsets[8];  // four orthogonal rays, then four diagonal ones

// True when a piece of the colour opposite to `side` (0 white, anything else black) attacks
// `square`. A square of NoSquare stands for the king of `side` recorded at `ply`.
bool IsAttacked(uint8_t side, uint8_t ply, Square square);
