// The FEN reader.
#pragma once

#include <string>

#include "board/board.h"

// Sets a position (the board and ply 0) from a FEN text.
// Lenient: nothing is rejected, what is not understood is skipped. With `chess960` the
// castling field is a Chess960 game's: "KQkq" name the outermost rook on each side (X-FEN), a
// file letter names the rook on that file (Shredder-FEN, "HAha"), and castling is the king
// taking its own rook; a right without its king and rook on the first rank is dropped.
void SetPosition(Position& pos, const std::string& fen, bool chess960 = false);
