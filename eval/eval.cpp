// The static evaluation. Every term is summed from white's point of view; only the result is
// turned to the side to move.
#include "eval/eval.h"

#include "movegen/bitboard.h"
#include "movemake/hash.h"

namespace {

constexpr int32_t LazyMargin = 400;  // positional terms rarely add up to more
constexpr int32_t LazyMaterialFloor = 900;
constexpr int32_t KingApproachWeight = 30;  // per unit of distance, against a bare side
constexpr int32_t QueenNearKingWeight = 4;
constexpr int32_t TrappedRookPenalty = 50;
// While the enemy king stays sheltered: a rook on its file or on the enemy queen's, a rook on
// the seventh rank with the king on the eighth, a rook on the sixth with the king behind it,
// and a queen on the king's file.
constexpr int32_t RookOnKingFileBonus = 8;
constexpr int32_t RookOnQueenFileBonus = 10;
constexpr int32_t RookOnSeventhBonus = 30;
constexpr int32_t RookOnSixthBonus = 10;
constexpr int32_t QueenOnKingFileBonus = 10;
// A king stays in its shelter while the opponent keeps its queen and more material than this.
constexpr int32_t KingShelterMaterial = 1200;
constexpr int32_t BishopPairBonus = 20;
constexpr int32_t MatingMaterialBonus = 1000;

// Pieces of one side met in the scan. Queens are known only through queenSquare.
struct SideCounts {
    int pawns = 0, knights = 0, bishops = 0, rooks = 0, queens = 0;
    Square lastBishop = NoSquare;
    int Total() const { return pawns + knights + bishops + rooks + queens; }
    bool HasMatingForce() const { return queens || rooks || bishops >= 2 || (bishops && knights); }
    bool OnlyMinor() const { return Total() == 1 && (knights == 1 || bishops == 1); }
};

// Per file: pawn count, most advanced and rearmost pawn ranks of each side.
struct PawnFiles {
    int count[2][8] = {};
    int mostAdvanced[2][8], rearmost[2][8];
    PawnFiles() {
        for (int f = 0; f < 8; ++f) {
            mostAdvanced[0][f] = 0;
            rearmost[0][f] = 7;
            mostAdvanced[1][f] = 7;
            rearmost[1][f] = 0;
        }
    }
};

// The rows of the board (bit rows, rank 1 first) where a king's shelter pawns count: from the
// rank in front of a king on relative rank r up to its side's seventh rank.
struct ShelterRowTable {
    uint64_t rows[2][8];
};
constexpr ShelterRowTable MakeShelterRows() {
    ShelterRowTable table{};
    for (int r = 0; r < 8; ++r)
        for (int ahead = r + 1; ahead <= 6; ++ahead) {
            table.rows[0][r] |= 0xFFull << 8 * ahead;
            table.rows[1][r] |= 0xFFull << 8 * (7 - ahead);
        }
    return table;
}
constexpr ShelterRowTable ShelterRows = MakeShelterRows();
constexpr uint64_t FileA = 0x0101010101010101ull;

// Missing pawns in front of a castled king: for its file and the files beside it, the first
// own pawn ahead of the king costs by its rank, no pawn at all costs the most.
template <int side>
int32_t Shelter(const Position& pos, Square king) {
    const Piece* board = pos.board;
    const Piece pawn = side ? BlackPawn : WhitePawn;
    auto at = [board](Square s) { return board[RelativeSquare(side, s)]; };
    const Square k = RelativeSquare(side, king);
    bool queenSideHome =
        (k == A1 || k == B1) && at(B2) == pawn && (at(A2) == pawn || at(A3) == pawn);
    bool kingSideHome =
        (k == G1 || k == H1) && at(G2) == pawn && (at(H2) == pawn || at(H3) == pawn);
    if (queenSideHome || kingSideHome) return 0;
    int32_t penalty = 0;
    const int file = k & 7, rank = k >> 4;
    const uint64_t ahead = PiecesOf(pos, side, Pawn) & ShelterRows.rows[side][rank];
    for (int f = file - 1; f <= file + 1; ++f) {
        if (f < 0 || f > 7) continue;
        const uint64_t shield = ahead & FileA << f;
        if (!shield) {
            penalty += MissingShieldPenalty;
            continue;
        }
        const int row = side ? 63 - __builtin_clzll(shield) : __builtin_ctzll(shield);
        penalty += ShieldPenalty[RelativeRank(side, row >> 3)];
    }
    return penalty;
}

// Rooks shut in by their own uncastled king, one penalty per wing.
template <int side>
int32_t TrappedRooks(const Piece* board, Square king) {
    constexpr Piece rook = side ? Black | Rook : White | Rook;
    auto rookOn = [board](Square s) { return board[RelativeSquare(side, s)] == rook; };
    const Square k = RelativeSquare(side, king);
    int32_t penalty = 0;
    if ((k == F1 && (rookOn(G1) || rookOn(H1))) || (k == G1 && rookOn(H1)))
        penalty += TrappedRookPenalty;
    if ((k == C1 && (rookOn(B1) || rookOn(A1))) || (k == B1 && rookOn(A1)))
        penalty += TrappedRookPenalty;
    return penalty;
}

// Doubled and isolated pawns (as a cost) and passed pawns (as a bonus), per side.
void PawnStructure(const PawnFiles& pf, int32_t structure[2], int32_t passed[2]) {
    structure[0] = structure[1] = passed[0] = passed[1] = 0;
    for (int f = 0; f < 8; ++f) {
        const bool left = f > 0, right = f < 7;
        for (int side = 0; side < 2; ++side) {
            if (pf.count[side][f] > 1) structure[side] -= pf.count[side][f] * DoubledPenalty[f];
            bool neighbour = (left && pf.count[side][f - 1]) || (right && pf.count[side][f + 1]);
            if (!neighbour) structure[side] -= IsolatedPenalty[f];
        }
        int a = pf.mostAdvanced[0][f];
        if (a > pf.rearmost[1][f] && (!left || a >= pf.rearmost[1][f - 1]) &&
            (!right || a >= pf.rearmost[1][f + 1]))
            passed[0] += PassedBonus[a];
        int b = pf.mostAdvanced[1][f];
        if (b < pf.rearmost[0][f] && (!left || b <= pf.rearmost[0][f - 1]) &&
            (!right || b <= pf.rearmost[0][f + 1]))
            passed[1] += PassedBonus[7 - b];
    }
}

// Adds each term to the score from white's point of view, as the gain of one side; a trace
// also keeps every term apart, per side. The hot path has no trace and compiles it away.
template <bool trace>
struct Tally {
    int32_t score = 0;
    EvalTrace* out = nullptr;
    void Add(EvalTerm term, int side, int32_t gain) {
        score += side == 0 ? gain : -gain;
        if constexpr (trace) out->gain[term][side] += gain;
    }
};

// Step 2. Lazy exit: far outside a null window the positional terms cannot matter, as long as
// both sides keep enough material for them to stay small.
bool LazyExit(const PlyState& ps, int32_t alpha, int32_t beta, int32_t& result) {
    if (beta - alpha != 1 || ps.material[0] <= LazyMaterialFloor ||
        ps.material[1] <= LazyMaterialFloor)
        return false;
    const int32_t diff = ps.material[0] - ps.material[1];
    result = ps.side == 0 ? diff : -diff;
    return result + LazyMargin < alpha || result - LazyMargin > beta;
}

// Steps 4 and 5. Kings: a king whose opponent keeps its queen and more stays sheltered and
// in the corner; otherwise it heads for the centre.
template <int side, bool trace>
void KingTerms(Tally<trace>& t, const Position& pos, Square king, bool kingMiddle) {
    if (!kingMiddle) {
        t.Add(TermTables, side, KingEndSquareTable[side][king]);
        return;
    }
    t.Add(TermTables, side, KingSquareTable[side][king]);
    t.Add(TermKingSafety, side, -Shelter<side>(pos, king));
    t.Add(TermKingSafety, side, -TrappedRooks<side>(pos.board, king));
}

// Step 6. A queen: its table, nearness to the enemy king, and the enemy king's file.
template <int side, bool trace>
void QueenTerms(Tally<trace>& t, Square queen, Square enemyKing, bool kingMiddle, SideCounts& own) {
    if (queen == NoSquare) return;
    own.queens = 1;
    t.Add(TermPieces, side, -QueenNearKingWeight * Distance[queen][enemyKing]);
    t.Add(TermTables, side, QueenSquareTable[side][queen]);
    if (kingMiddle && FileOf[queen] == FileOf[enemyKing])
        t.Add(TermPieces, side, QueenOnKingFileBonus);
}

// Step 8, a rook: its table, the files and ranks of the enemy king and queen while the own
// king stays sheltered, and its mobility.
template <int side, bool trace>
void RookTerms(Tally<trace>& t, Square s, uint64_t occupied, bool kingMiddle, Square enemyKing,
               Square enemyQueen, SideCounts& own) {
    ++own.rooks;
    t.Add(TermTables, side, RookSquareTable[side][s]);
    if (kingMiddle) {
        const int kingRank = RelativeRank(side, RankOf[enemyKing]);
        if (FileOf[s] == FileOf[enemyKing]) t.Add(TermPieces, side, RookOnKingFileBonus);
        if (enemyQueen != NoSquare && FileOf[s] == FileOf[enemyQueen])
            t.Add(TermPieces, side, RookOnQueenFileBonus);
        if (RankOf[s] == RelativeRank(side, 6) && kingRank == 7)
            t.Add(TermPieces, side, RookOnSeventhBonus);
        if (RankOf[s] == RelativeRank(side, 5) && kingRank >= 6)
            t.Add(TermPieces, side, RookOnSixthBonus);
    }
    t.Add(TermPieces, side, RookMobility(s, occupied));
}

// Step 8, the bishops of one side: their tables, the pair bonus for each one after the first,
// and their mobility. The last one in the board's a1..h8 order decides the colour of a
// bishop and knight's mating corner.
template <int side, bool trace>
void BishopTerms(Tally<trace>& t, uint64_t bishops, uint64_t occupied, SideCounts& own) {
    if (!bishops) return;
    own.lastBishop = LastSquare(bishops);
    t.Add(TermPieces, side, BishopPairBonus * (__builtin_popcountll(bishops) - 1));
    while (bishops) {
        const Square s = PopFirstSquare(bishops);
        ++own.bishops;
        t.Add(TermTables, side, BishopSquareTable[side][s]);
        t.Add(TermPieces, side, BishopMobility(s, occupied));
    }
}

// Step 8, a pawn: its table, and its file's count, most advanced and rearmost
// rank for step 9, ranks counted as they stand (a black pawn advances to lower ranks).
template <int side>
void ScanPawn(Square s, SideCounts& own, PawnFiles& pf, int32_t pawnTables[2]) {
    ++own.pawns;
    pawnTables[side] += PawnSquareTable[side][s];
    const int file = FileOf[s], rank = RankOf[s];
    ++pf.count[side][file];
    int& advanced = pf.mostAdvanced[side][file];
    int& rearmost = pf.rearmost[side][file];
    if (side == 0 ? rank > advanced : rank < advanced) advanced = rank;
    if (side == 0 ? rank < rearmost : rank > rearmost) rearmost = rank;
}

// Step 8. The rooks, bishops and knights, side by side and kind by kind: tables, rook files
// and ranks, bishop pair and mobility. Kings and queens are scored above, pawns below.
template <bool trace>
void PieceTerms(Tally<trace>& t, const Position& pos, const PlyState& ps, bool whiteKingMiddle,
                bool blackKingMiddle, SideCounts& white, SideCounts& black) {
    const Square wk = ps.kingSquare[0], bk = ps.kingSquare[1];
    const Square wq = ps.queenSquare[0], bq = ps.queenSquare[1];
    const uint64_t occupied = Occupied(pos);
    for (uint64_t rooks = PiecesOf(pos, 0, Rook); rooks;)
        RookTerms<0>(t, PopFirstSquare(rooks), occupied, whiteKingMiddle, bk, bq, white);
    for (uint64_t rooks = PiecesOf(pos, 1, Rook); rooks;)
        RookTerms<1>(t, PopFirstSquare(rooks), occupied, blackKingMiddle, wk, wq, black);
    BishopTerms<0>(t, PiecesOf(pos, 0, Bishop), occupied, white);
    BishopTerms<1>(t, PiecesOf(pos, 1, Bishop), occupied, black);
    for (uint64_t knights = PiecesOf(pos, 0, Knight); knights; ++white.knights)
        t.Add(TermTables, 0, KnightSquareTable[0][PopFirstSquare(knights)]);
    for (uint64_t knights = PiecesOf(pos, 1, Knight); knights; ++black.knights)
        t.Add(TermTables, 1, KnightSquareTable[1][PopFirstSquare(knights)]);
}

// Step 12. Endings with few pieces: drive a bare king to the right corner, and call the
// endings that cannot be won drawn or nearly so.
template <bool trace>
void EndgameRules(Tally<trace>& t, const SideCounts& white, const SideCounts& black, Square wk,
                  Square bk) {
    // A trace books what the scaling changed beyond the terms added here.
    int32_t before = 0;
    if constexpr (trace)
        before = t.score - (t.out->gain[TermEndgame][0] - t.out->gain[TermEndgame][1]);
    const int W = white.Total(), B = black.Total();
    if (W == 0) {
        if (black.HasMatingForce()) t.Add(TermEndgame, 1, MatingMaterialBonus);
        if (black.queens || black.rooks) t.Add(TermEndgame, 1, DarkCornerTable[wk]);
        if (black.bishops >= 2) t.Add(TermEndgame, 1, DarkCornerTable[wk]);
        if (black.bishops && black.knights)
            t.Add(TermEndgame, 1,
                  5 * (DarkSquare[black.lastBishop] ? DarkCornerTable[wk] : LightCornerTable[wk]));
        if (black.OnlyMinor() || (B == 2 && black.knights == 2)) t.score = 0;
    }
    if (B == 0) {
        if (white.HasMatingForce()) t.Add(TermEndgame, 0, MatingMaterialBonus);
        if (white.queens || white.rooks) t.Add(TermEndgame, 0, LightCornerTable[bk]);
        if (white.bishops >= 2) t.Add(TermEndgame, 0, LightCornerTable[bk]);
        if (white.bishops && white.knights)
            t.Add(TermEndgame, 0,
                  5 * (DarkSquare[white.lastBishop] ? DarkCornerTable[bk] : LightCornerTable[bk]));
        if (white.OnlyMinor() || (W == 2 && white.knights == 2)) t.score = 0;
    }
    if (W == 1 && B == 1) {
        const bool whiteMinor = white.knights || white.bishops,
                   blackMinor = black.knights || black.bishops;
        if (whiteMinor && blackMinor) t.score = 0;
        if (white.rooks && black.rooks) t.score = 0;
        if ((white.rooks && blackMinor) || (black.rooks && whiteMinor)) t.score /= 10;
    }
    if ((W == 1 && B == 2) || (W == 2 && B == 1)) {
        const bool heavyOrPawn = white.queens || white.rooks || white.pawns || black.queens ||
                                 black.rooks || black.pawns;
        if (!heavyOrPawn) t.score /= 10;
    }
    if constexpr (trace) {
        const int32_t scaled =
            t.score - (t.out->gain[TermEndgame][0] - t.out->gain[TermEndgame][1]) - before;
        t.out->gain[TermScaling][scaled >= 0 ? 0 : 1] += scaled >= 0 ? scaled : -scaled;
    }
}

// The whole evaluation from white's point of view, term by term. A trace reads every pawn
// afresh (no cache) and keeps the terms apart.
template <bool trace>
int32_t EvaluateTerms(const Position& pos, PawnTable* pawns, int ply, EvalTrace* out) {
    const PlyState& ps = pos.ply[ply];
    const int32_t matW = ps.material[0], matB = ps.material[1];
    const Square wk = ps.kingSquare[0], bk = ps.kingSquare[1];
    Tally<trace> t;
    t.out = out;
    if constexpr (!trace) PawnPrefetch(*pawns, ps.pawnKey);  // the slot is read in step 7

    // Step 3. Against a bare side, the stronger king comes closer.
    if (matB == 0) t.Add(TermEndgame, 0, -KingApproachWeight * Distance[wk][bk]);
    if (matW == 0) t.Add(TermEndgame, 1, -KingApproachWeight * Distance[wk][bk]);

    // Steps 4 to 6. Kings and queens.
    const bool whiteKingMiddle = ps.queenSquare[1] != NoSquare && matB > KingShelterMaterial;
    const bool blackKingMiddle = ps.queenSquare[0] != NoSquare && matW > KingShelterMaterial;
    KingTerms<0>(t, pos, wk, whiteKingMiddle);
    KingTerms<1>(t, pos, bk, blackKingMiddle);
    SideCounts white, black;
    QueenTerms<0>(t, ps.queenSquare[0], bk, whiteKingMiddle, white);
    QueenTerms<1>(t, ps.queenSquare[1], wk, blackKingMiddle, black);

    // Step 7. The pawn cache holds the pawn terms of a pawn placement seen before.
    int32_t pawnScore = 0;
    const bool pawnHit =
        !trace && PawnProbe(*pawns, ps.pawnKey, white.pawns, black.pawns, pawnScore);

    // Step 8. Rooks, bishops and knights; then, on a miss of the cache, the pawns.
    PieceTerms(t, pos, ps, whiteKingMiddle, blackKingMiddle, white, black);

    // Steps 9 to 11. Pawn structure, computed once per pawn placement, and material.
    if (!pawnHit) {
        PawnFiles pf;
        int32_t pawnTables[2] = {0, 0};
        for (uint64_t set = PiecesOf(pos, 0, Pawn); set;)
            ScanPawn<0>(PopFirstSquare(set), white, pf, pawnTables);
        for (uint64_t set = PiecesOf(pos, 1, Pawn); set;)
            ScanPawn<1>(PopFirstSquare(set), black, pf, pawnTables);
        int32_t structure[2], passed[2];
        PawnStructure(pf, structure, passed);
        pawnScore =
            pawnTables[0] - pawnTables[1] + structure[0] - structure[1] + passed[0] - passed[1];
        if constexpr (trace) {
            for (int side = 0; side < 2; ++side) {
                out->gain[TermPawns][side] += pawnTables[side] + structure[side];
                out->gain[TermPassedPawns][side] += passed[side];
            }
        } else {
            PawnStore(*pawns, ps.pawnKey, white.pawns, black.pawns, pawnScore);
        }
    }
    t.score += pawnScore;
    t.Add(TermMaterial, 0, matW);
    t.Add(TermMaterial, 1, matB);

    // Step 12. Endings with few pieces.
    EndgameRules(t, white, black, wk, bk);
    return t.score;
}

}  // namespace

const char* const EvalTermNames[TermCount] = {"Material",    "Tables", "Pawns",   "Passed pawns",
                                              "King safety", "Pieces", "Endgame", "Scaling"};

int32_t Evaluate(const Position& pos, PawnTable& pawns, int ply, int32_t alpha, int32_t beta) {
    // Step 1. Material, and the lazy exit when it alone decides.
    int32_t lazy;
    if (LazyExit(pos.ply[ply], alpha, beta, lazy)) return lazy;
    // Steps 3 to 12. The terms; step 13: the side to move's view.
    const int32_t score = EvaluateTerms<false>(pos, &pawns, ply, nullptr);
    return pos.ply[ply].side == 0 ? score : -score;
}

int32_t EvaluateWithTrace(const Position& pos, int ply, EvalTrace& trace) {
    trace = EvalTrace{};
    const int32_t score = EvaluateTerms<true>(pos, nullptr, ply, &trace);
    return pos.ply[ply].side == 0 ? score : -score;
}
