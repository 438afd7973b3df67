// The static evaluation. Every term is summed from white's point of view; only the result is
// turned to the side to move.
#include "eval/eval.h"

#include "movemake/hash.h"

namespace {

constexpr int32_t LazyMargin = 400;  // positional terms rarely add up to more
constexpr int32_t LazyMaterialFloor = 900;
constexpr int32_t KingApproachWeight = 30;  // per unit of distance, against a bare side
constexpr int32_t QueenNearKingWeight = 4;
constexpr int32_t TrappedRookPenalty = 50;
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

// Empty squares met walking from s along each offset until a piece or the edge.
int CountEmpty(Square s, const int8_t* offsets, int n) {
    int count = 0;
    for (int i = 0; i < n; ++i)
        for (Square t = Square(s + offsets[i]); OnBoard(t) && !Board[t]; t = Square(t + offsets[i]))
            ++count;
    return count;
}

const int8_t FileSteps[2] = {16, -16};
const int8_t RankSteps[2] = {East, West};
const int8_t DiagonalSteps[4] = {NorthWest, SouthEast, NorthEast, SouthWest};

bool IsWhiteRook(Square s) { return Board[s] == (White | Rook); }
bool IsBlackRook(Square s) { return Board[s] == (Black | Rook); }

// Missing pawns in front of a castled white king: for its file and the files beside it, the
// first own pawn above the king costs by its rank, no pawn at all costs the most.
int32_t WhiteShelter(Square wk) {
    bool queenSideHome = (wk == A1 || wk == B1) && Board[B2] == WhitePawn &&
                         (Board[A2] == WhitePawn || Board[A3] == WhitePawn);
    bool kingSideHome = (wk == G1 || wk == H1) && Board[G2] == WhitePawn &&
                        (Board[H2] == WhitePawn || Board[H3] == WhitePawn);
    if (queenSideHome || kingSideHome) return 0;
    int32_t penalty = 0;
    int file = wk & 7, rank = wk >> 4;
    for (int f = file - 1; f <= file + 1; ++f) {
        if (f < 0 || f > 7) continue;
        int cost = MissingShieldPenalty;
        for (int s = (rank + 1) * 16 + f; s <= H7; s += North)
            if (Board[s] == WhitePawn) {
                cost = ShieldPenalty[s >> 4];
                break;
            }
        penalty += cost;
    }
    return penalty;
}

int32_t BlackShelter(Square bk) {
    bool queenSideHome = (bk == A8 || bk == B8) && Board[B7] == BlackPawn &&
                         (Board[A7] == BlackPawn || Board[A6] == BlackPawn);
    bool kingSideHome = (bk == G8 || bk == H8) && Board[G7] == BlackPawn &&
                        (Board[H7] == BlackPawn || Board[H6] == BlackPawn);
    if (queenSideHome || kingSideHome) return 0;
    int32_t penalty = 0;
    int file = bk & 7, rank = bk >> 4;
    for (int f = file - 1; f <= file + 1; ++f) {
        if (f < 0 || f > 7) continue;
        int cost = MissingShieldPenalty;
        for (int s = (rank - 1) * 16 + f; s >= A2; s += South)
            if (Board[s] == BlackPawn) {
                cost = ShieldPenalty[7 - (s >> 4)];
                break;
            }
        penalty += cost;
    }
    return penalty;
}

int32_t WhiteTrappedRooks(Square wk) {
    int32_t penalty = 0;
    if ((wk == F1 && (IsWhiteRook(G1) || IsWhiteRook(H1))) || (wk == G1 && IsWhiteRook(H1)))
        penalty += TrappedRookPenalty;
    if ((wk == C1 && (IsWhiteRook(B1) || IsWhiteRook(A1))) || (wk == B1 && IsWhiteRook(A1)))
        penalty += TrappedRookPenalty;
    return penalty;
}

int32_t BlackTrappedRooks(Square bk) {
    int32_t penalty = 0;
    if ((bk == F8 && (IsBlackRook(G8) || IsBlackRook(H8))) || (bk == G8 && IsBlackRook(H8)))
        penalty += TrappedRookPenalty;
    if ((bk == C8 && (IsBlackRook(B8) || IsBlackRook(A8))) || (bk == B8 && IsBlackRook(A8)))
        penalty += TrappedRookPenalty;
    return penalty;
}

// Doubled, isolated and passed pawns, from white's point of view.
int32_t PawnStructure(const PawnFiles& pf) {
    int32_t score = 0;
    for (int f = 0; f < 8; ++f) {
        const bool left = f > 0, right = f < 7;
        if (pf.count[0][f] > 1) score -= pf.count[0][f] * DoubledPenalty[f];
        if (pf.count[1][f] > 1) score += pf.count[1][f] * DoubledPenalty[f];

        for (int side = 0; side < 2; ++side) {
            bool neighbour = (left && pf.count[side][f - 1]) || (right && pf.count[side][f + 1]);
            if (!neighbour) score += side ? IsolatedPenalty[f] : -IsolatedPenalty[f];
        }

        int a = pf.mostAdvanced[0][f];
        if (a > pf.rearmost[1][f] && (!left || a >= pf.rearmost[1][f - 1]) &&
            (!right || a >= pf.rearmost[1][f + 1]))
            score += PassedBonus[a];
        int b = pf.mostAdvanced[1][f];
        if (b < pf.rearmost[0][f] && (!left || b <= pf.rearmost[0][f - 1]) &&
            (!right || b <= pf.rearmost[0][f + 1]))
            score -= PassedBonus[7 - b];
    }
    return score;
}

}  // namespace

int32_t Evaluate(int ply, int32_t alpha, int32_t beta) {
    const PlyState& ps = Ply[ply];
    const int32_t matW = ps.material[0], matB = ps.material[1];
    const Square wk = ps.kingSquare[0], bk = ps.kingSquare[1];
    const Square wq = ps.queenSquare[0], bq = ps.queenSquare[1];

    // Step 1. Material.
    const int32_t diff = matW - matB;

    // Step 2. Lazy exit: far outside a null window the positional terms cannot matter.
    if (beta - alpha == 1 && matW > LazyMaterialFloor && matB > LazyMaterialFloor) {
        int32_t m = ps.side == 0 ? diff : -diff;
        if (m + LazyMargin < alpha || m - LazyMargin > beta) return m;
    }

    int32_t score = 0;
    PawnPrefetch(ps.pawnKey);  // the slot is read in step 7

    // Step 3. Against a bare side, the stronger king comes closer.
    if (matB == 0) score -= KingApproachWeight * Distance[wk][bk];
    if (matW == 0) score += KingApproachWeight * Distance[wk][bk];

    // Steps 4 and 5. Kings: shelter while the opponent has a queen and more, else centralise.
    const bool whiteKingMiddle = bq != NoSquare && matB > 1200;
    const bool blackKingMiddle = wq != NoSquare && matW > 1200;
    if (!whiteKingMiddle) {
        score += KingEndSquareTable[0][wk];
    } else {
        score += KingSquareTable[0][wk];
        score -= WhiteShelter(wk);
        score -= WhiteTrappedRooks(wk);
    }
    if (!blackKingMiddle) {
        score -= KingEndSquareTable[1][bk];
    } else {
        score -= KingSquareTable[1][bk];
        score += BlackShelter(bk);
        score += BlackTrappedRooks(bk);
    }

    // Step 6. Queens.
    SideCounts white, black;
    if (wq != NoSquare) {
        white.queens = 1;
        score -= QueenNearKingWeight * Distance[wq][bk];
        score += QueenSquareTable[0][wq];
        if (whiteKingMiddle && FileOf[wq] == FileOf[bk]) score += 10;
    }
    if (bq != NoSquare) {
        black.queens = 1;
        score += QueenNearKingWeight * Distance[bq][wk];
        score -= QueenSquareTable[1][bq];
        if (blackKingMiddle && FileOf[bq] == FileOf[wk]) score -= 10;
    }

    // Step 7. Pawn cache.
    int32_t pawnScore = 0;
    const bool pawnHit = PawnProbe(ps.pawnKey, white.pawns, black.pawns, pawnScore);
    PawnFiles pf;

    // Step 8. Board scan.
    bool whiteBishopMet = false, blackBishopMet = false;
    ForEachPiece(WhiteBits | BlackBits, [&](Square s) {
        const Piece p = Board[s];
        switch (p) {
            case White | Rook: {
                ++white.rooks;
                score += RookSquareTable[0][s];
                if (whiteKingMiddle) {
                    if (FileOf[s] == FileOf[bk]) score += 8;
                    if (bq != NoSquare && FileOf[s] == FileOf[bq]) score += 10;
                    if (RankOf[s] == 6 && RankOf[bk] == 7) score += 30;
                    if (RankOf[s] == 5 && RankOf[bk] >= 6) score += 10;
                }
                score += 2 * CountEmpty(s, FileSteps, 2) + CountEmpty(s, RankSteps, 2);
                break;
            }
            case White | Bishop:
                ++white.bishops;
                white.lastBishop = s;
                score += BishopSquareTable[0][s];
                if (whiteBishopMet) score += BishopPairBonus;
                whiteBishopMet = true;
                score += 2 * CountEmpty(s, DiagonalSteps, 4);
                break;
            case White | Knight:
                ++white.knights;
                score += KnightSquareTable[0][s];
                break;
            case WhitePawn:
                if (pawnHit) break;
                ++white.pawns;
                pawnScore += PawnSquareTable[0][s];
                ++pf.count[0][FileOf[s]];
                if (RankOf[s] > pf.mostAdvanced[0][FileOf[s]])
                    pf.mostAdvanced[0][FileOf[s]] = RankOf[s];
                if (RankOf[s] < pf.rearmost[0][FileOf[s]]) pf.rearmost[0][FileOf[s]] = RankOf[s];
                break;
            case Black | Rook: {
                ++black.rooks;
                score -= RookSquareTable[1][s];
                if (blackKingMiddle) {
                    if (FileOf[s] == FileOf[wk]) score -= 8;
                    if (wq != NoSquare && FileOf[s] == FileOf[wq]) score -= 10;
                    if (RankOf[s] == 1 && RankOf[wk] == 0) score -= 30;
                    if (RankOf[s] == 2 && RankOf[wk] <= 1) score -= 10;
                }
                score -= 2 * CountEmpty(s, FileSteps, 2) + CountEmpty(s, RankSteps, 2);
                break;
            }
            case Black | Bishop:
                ++black.bishops;
                black.lastBishop = s;
                score -= BishopSquareTable[1][s];
                if (blackBishopMet) score -= BishopPairBonus;
                blackBishopMet = true;
                score -= 2 * CountEmpty(s, DiagonalSteps, 4);
                break;
            case Black | Knight:
                ++black.knights;
                score -= KnightSquareTable[1][s];
                break;
            case BlackPawn:
                if (pawnHit) break;
                ++black.pawns;
                pawnScore -= PawnSquareTable[1][s];
                ++pf.count[1][FileOf[s]];
                if (RankOf[s] < pf.mostAdvanced[1][FileOf[s]])
                    pf.mostAdvanced[1][FileOf[s]] = RankOf[s];
                if (RankOf[s] > pf.rearmost[1][FileOf[s]]) pf.rearmost[1][FileOf[s]] = RankOf[s];
                break;
            default:
                break;  // kings and queens are scored above
        }
    });

    // Steps 9 and 10. Pawn structure, computed once per pawn configuration.
    if (!pawnHit) {
        pawnScore += PawnStructure(pf);
        PawnStore(ps.pawnKey, white.pawns, black.pawns, pawnScore);
    }

    // Step 11.
    score += pawnScore + diff;

    // Step 12. Endings with few pieces: drive a bare king to the right corner, and call the
    // endings that cannot be won drawn or nearly so.
    const int W = white.Total(), B = black.Total();
    if (W == 0) {
        if (black.HasMatingForce()) score -= MatingMaterialBonus;
        if (black.queens || black.rooks) score -= DarkCornerTable[wk];
        if (black.bishops >= 2) score -= DarkCornerTable[wk];
        if (black.bishops && black.knights)
            score -=
                5 * (DarkSquare[black.lastBishop] ? DarkCornerTable[wk] : LightCornerTable[wk]);
        if (black.OnlyMinor() || (B == 2 && black.knights == 2)) score = 0;
    }
    if (B == 0) {
        if (white.HasMatingForce()) score += MatingMaterialBonus;
        if (white.queens || white.rooks) score += LightCornerTable[bk];
        if (white.bishops >= 2) score += LightCornerTable[bk];
        if (white.bishops && white.knights)
            score +=
                5 * (DarkSquare[white.lastBishop] ? DarkCornerTable[bk] : LightCornerTable[bk]);
        if (white.OnlyMinor() || (W == 2 && white.knights == 2)) score = 0;
    }
    if (W == 1 && B == 1) {
        bool whiteMinor = white.knights || white.bishops,
             blackMinor = black.knights || black.bishops;
        if (whiteMinor && blackMinor) score = 0;
        if (white.rooks && black.rooks) score = 0;
        if ((white.rooks && blackMinor) || (black.rooks && whiteMinor)) score /= 10;
    }
    if ((W == 1 && B == 2) || (W == 2 && B == 1)) {
        bool heavyOrPawn = white.queens || white.rooks || white.pawns || black.queens ||
                           black.rooks || black.pawns;
        if (!heavyOrPawn) score /= 10;
    }

    // Step 13.
    return ps.side == 0 ? score : -score;
}
