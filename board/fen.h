// The FEN reader.
#pragma once

#include <string>

// Sets the game position (the board and ply 0) from a FEN text and empties the game
// history. Lenient: nothing is rejected, what is not understood is skipped.
void SetPosition(const std::string& fen);
