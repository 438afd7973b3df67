// The FEN reader.
#pragma once

#include <string>

#include "board/board.h"

// Sets a position (the board and ply 0) from a FEN text.
// Lenient: nothing is rejected, what is not understood is skipped.
void SetPosition(Position& pos, const std::string& fen);
