// The capture generator of the quiescence search.
#pragma once

#include "board/board.h"

// Writes every pseudo-legal capture (en passant and capturing promotions included) and every
// non-capturing promotion of the side to move at `ply`, in the full generator's order.
void GenerateCaptures(Position& pos, int ply);
