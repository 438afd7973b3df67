// The capture generator: the full generator's list without its quiet non-promotion moves.
#include "movegen/genkills.h"

#include "movegen/genmoves.h"

void GenerateCaptures(Position& pos, int ply) { GenerateList<ListKind::Captures>(pos, ply); }
