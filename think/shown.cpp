// What the engine shows of a search: scores in the protocol's terms, and principal variations
// made whole for the reader.
#include <string>

#include "movegen/attack.h"
#include "movegen/genmoves.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "think/think.h"

namespace {

// A mate more plies away from the end of a line than this is not completed: the search for
// it grows too fast, and a line that long is rarely cut short.
constexpr int MaxCompletedPlies = 3;

// The legal moves of the position at `ply`, in the generator's order.
int LegalMoves(Position& pos, int ply, Move* legal) {
    GenerateMoves(pos, ply);
    int count = 0;
    for (int k = 1; k <= pos.ply[ply].moveCount; ++k) {
        const Move m = pos.moves[ply][k];
        if (!MakeTrial(pos, m, ply)) continue;
        TakeBack(pos, m, ply);
        legal[count++] = m;
    }
    return count;
}

// Makes a move known to be legal at `ply`, with the next record's in-check flag.
void Play(Position& pos, Move m, int ply) {
    MakeMove(pos, m, ply);
    SetInCheck(pos, ply + 1);
}

bool IsMated(Position& pos, int ply) {
    Move legal[MaxMovesPerPly];
    return pos.ply[ply].inCheck && LegalMoves(pos, ply, legal) == 0;
}

// Whether the side to move at `ply` can mate within `plies` plies (an odd number), and if so
// the moves that do it, into `line` from its start; every defence leads to a mate within the
// count, and the line follows the first.
bool MatesWithin(Position& pos, int ply, int plies, Move* line, int& length);

// Whether every move of the side to move at `ply` (which is not yet mated) leaves the other
// side a mate within `plies` - 1 plies; the line follows the first defence.
bool EveryDefenceLoses(Position& pos, int ply, int plies, Move* line, int& length) {
    Move legal[MaxMovesPerPly];
    const int count = LegalMoves(pos, ply, legal);
    if (count == 0) return false;
    for (int i = 0; i < count; ++i) {
        Play(pos, legal[i], ply);
        int rest = 0;
        const bool mated = MatesWithin(pos, ply + 1, plies - 1, line + 1, rest);
        TakeBack(pos, legal[i], ply);
        if (!mated) return false;
        if (i == 0) {
            line[0] = legal[0];
            length = 1 + rest;
        }
    }
    return true;
}

bool MatesWithin(Position& pos, int ply, int plies, Move* line, int& length) {
    Move legal[MaxMovesPerPly];
    const int count = LegalMoves(pos, ply, legal);
    for (int i = 0; i < count; ++i) {
        Play(pos, legal[i], ply);
        int rest = 0;
        const bool mates =
            IsMated(pos, ply + 1) ||
            (plies >= 3 && EveryDefenceLoses(pos, ply + 1, plies - 1, line + 1, rest));
        TakeBack(pos, legal[i], ply);
        if (mates) {
            line[0] = legal[i];
            length = 1 + rest;
            return true;
        }
    }
    return false;
}

// The generated move of `ply` that equals `m`, if it is legal there.
bool IsLegalHere(Position& pos, int ply, Move m) {
    GenerateMoves(pos, ply);
    for (int k = 1; k <= pos.ply[ply].moveCount; ++k) {
        if (pos.moves[ply][k] != m) continue;
        if (!MakeTrial(pos, m, ply)) return false;
        TakeBack(pos, m, ply);
        return true;
    }
    return false;
}

}  // namespace

std::string ScoreText(int32_t score) {
    // Beyond a mate's score lie only the material sums of positions where a king can be taken,
    // which no game reaches; they stay centipawns.
    if (score > MateBound && score <= MateScore)
        return "mate " + std::to_string((MateScore - score + 1) / 2);
    if (score < -MateBound && score >= -MateScore)
        return "mate " + std::to_string(-((MateScore + score) / 2));
    return "cp " + std::to_string(score);
}

PvLine ShownLine(Worker& w, const PvLine& line, int32_t score) {
    Position& pos = w.pos;
    Move moves[MaxSearchPly + 2];
    int length = 0;
    // The search's own moves, which are legal by construction.
    for (int i = line.length; i >= 1 && length < MaxSearchPly; --i) {
        if (!MakeMove(pos, line.moves[i], length)) break;
        SetInCheck(pos, length + 1);
        moves[length++] = line.moves[i];
    }
    // Where the line stops short, the table's moves, while they are legal and lead to no
    // position of the line again.
    while (length > 0 && length < MaxSearchPly) {
        const HashHit hit = HashProbe(pos.ply[length].key);
        if (hit.bound == BoundNone || hit.move == NoMove) break;
        if (!IsLegalHere(pos, length, hit.move)) break;
        Play(pos, hit.move, length);
        moves[length++] = hit.move;
        bool repeats = false;
        for (int p = length - 2; p >= 0 && !repeats; p -= 2)
            repeats = pos.ply[p].key == pos.ply[length].key;
        if (repeats) break;
    }
    // A mate the line does not reach: the moves that deliver it, found by a small search.
    const int made = length;
    const int matePlies = score > MateBound && score <= MateScore     ? MateScore - score
                          : score < -MateBound && score >= -MateScore ? MateScore + score
                                                                      : 0;
    const int left = matePlies - length;
    if (left > 0 && left <= MaxCompletedPlies && length + left <= MaxSearchPly) {
        int added = 0;
        if (left % 2 == 1)
            MatesWithin(pos, length, left, moves + length, added);
        else if (!IsMated(pos, length))
            EveryDefenceLoses(pos, length, left, moves + length, added);
        length += added;
    }
    for (int p = made - 1; p >= 0; --p) TakeBack(pos, moves[p], p);
    // The line in the search's order: its first move last.
    PvLine shown;
    shown.length = length;
    for (int p = 0; p < length; ++p) shown.moves[length - p] = moves[p];
    return shown;
}
