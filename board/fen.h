// The FEN reader.
#pragma once

#include <string>

#include "board/board.h"

// Sets a position (the board and ply 0) from a FEN text.
// Lenient: what is not understood is skipped. With `chess960` the castling field is a Chess960
// game's: "KQkq" name the outermost rook on each side (X-FEN), a file letter names the rook on
// that file (Shredder-FEN, "HAha"), and castling is the king taking its own rook; a right
// without its king and rook on the first rank is dropped.
// Refused only when a side has more than one king, as the search follows one king a side: the
// position then stays as it was and the answer is false.
bool SetPosition(Position& pos, const std::string& fen, bool chess960 = false);
