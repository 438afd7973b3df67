// The bitboard answers against the ray walks they replaced, in positions from random games,
// random placements (several kings, pawns on the back ranks) and the fuzzers' FEN corpus.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "board/fen.h"
#include "eval/eval.h"
#include "movegen/attack.h"
#include "movegen/genkills.h"
#include "movegen/genmoves.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "tests/reference.h"
#include "tests/support.h"
#include "uci/tests.h"

namespace {

// The attacks of a rook (rays 0..3) or a bishop (rays 4..7) walked over an occupancy.
uint64_t WalkedSliderAttacks(Square s, int firstRay, uint64_t occupied) {
    uint64_t attacks = 0;
    for (int d = firstRay; d < firstRay + 4; ++d)
        for (int t = s + KingOffsets[d]; t >= 0 && OnBoard(t); t += KingOffsets[d]) {
            attacks |= SquareBit(Square(t));
            if (occupied & SquareBit(Square(t))) break;
        }
    return attacks;
}

// Every occupancy of a square's lines, and random ones of the whole board, edges included.
TEST(Bitboards, SliderAttacksForEveryOccupancy) {
    uint32_t seed = 5;
    for (int s = 0; s < 128; ++s) {
        if (!OnBoard(s)) continue;
        for (int firstRay : {0, FirstDiagonalRay}) {
            const uint64_t lines = WalkedSliderAttacks(Square(s), firstRay, 0);
            uint64_t subset = 0;
            do {
                const uint64_t attacks =
                    firstRay ? BishopAttacks(Square(s), subset) : RookAttacks(Square(s), subset);
                ASSERT_EQ(attacks, WalkedSliderAttacks(Square(s), firstRay, subset))
                    << SquareNames[s] << " occupancy " << subset;
                subset = (subset - lines) & lines;
            } while (subset);
            for (int i = 0; i < 200; ++i) {
                const uint64_t occupied = uint64_t(RandomDraw(seed, 1u << 31)) << 33 ^
                                          uint64_t(RandomDraw(seed, 1u << 31)) << 2;
                const uint64_t attacks = firstRay ? BishopAttacks(Square(s), occupied)
                                                  : RookAttacks(Square(s), occupied);
                ASSERT_EQ(attacks, WalkedSliderAttacks(Square(s), firstRay, occupied));
            }
        }
    }
}

// The pinned pieces' squares, in order; the lines they keep to count in the legal moves.
template <typename PinList>
std::vector<Square> SortedPins(const PinList& pins) {
    std::vector<Square> list(pins.squares, pins.squares + pins.count);
    std::sort(list.begin(), list.end());
    return list;
}

std::vector<Square> SortedCheckers(const Checkers& checkers) {
    std::vector<Square> list(checkers.squares,
                             checkers.squares + std::min(checkers.count, MaxCheckers));
    std::sort(list.begin(), list.end());
    return list;
}

// Every attack question of the position at ply 0 and of each move from it, asked of the
// bitboards and of the ray walks; returns the first disagreement, or "".
std::string CompareAttackQuestions(Position& pos) {
    const PlyState& ps = pos.ply[0];
    for (uint8_t side = 0; side < 2; ++side) {
        const std::string who = side ? "black " : "white ";
        for (int s = 0; s < 128; ++s) {
            if (!OnBoard(s)) continue;
            const Square sq = Square(s);
            if (IsAttacked(pos, side, 0, sq) != reference::IsAttacked(pos, side, 0, sq))
                return who + "IsAttacked " + SquareNames[s];
            const Square king = ps.kingSquare[side];
            if (IsAttackedThrough(pos, side, king, sq) !=
                reference::IsAttackedThrough(pos, side, king, sq))
                return who + "IsAttackedThrough " + SquareNames[s];
            if (side == 0 && pos.board[s])
                for (int t = 0; t < 128; ++t)
                    if (OnBoard(t) && t != s &&
                        PieceAttacks(pos, sq, Square(t)) !=
                            reference::PieceAttacks(pos, sq, Square(t)))
                        return std::string("PieceAttacks ") + SquareNames[s] + SquareNames[t];
        }
        const Square king = ps.kingSquare[side];
        Checkers checkers, walked;
        FindCheckers(pos, side, king, checkers);
        reference::FindCheckers(pos, side, king, walked);
        if (checkers.count != walked.count ||
            (walked.count <= MaxCheckers && SortedCheckers(checkers) != SortedCheckers(walked)))
            return who + "FindCheckers";
        Pins pins;
        reference::WalkedPins walkedPins;
        FindPins(pos, side, king, pins);
        reference::FindPins(pos, side, king, walkedPins);
        if (SortedPins(pins) != SortedPins(walkedPins)) return who + "FindPins";
        // With the king lifted off its square, as for a king's step.
        if (TypeOf(pos.board[king]) == King && SideOf(pos.board[king]) == side) {
            const Piece lifted = pos.board[king];
            pos.board[king] = 0;
            for (int s = 0; s < 128; ++s) {
                if (!OnBoard(s)) continue;
                const bool walkedAnswer = reference::IsAttacked(pos, side, 0, Square(s));
                if (IsAttackedWith(pos, side, Square(s), Occupied(pos) ^ SquareBit(king)) !=
                    walkedAnswer) {
                    pos.board[king] = lifted;
                    return who + "IsAttackedWith " + SquareNames[s];
                }
            }
            pos.board[king] = lifted;
        }
    }
    Checkers checkers, walked;
    FindCheckers(pos, ps.side, ps.kingSquare[ps.side], checkers);
    reference::FindCheckers(pos, ps.side, ps.kingSquare[ps.side], walked);
    // The check short cuts are asked only where the side not to move is not in check, as in
    // every position a game reaches; elsewhere a king can be taken.
    const bool reachable = !reference::IsAttacked(pos, uint8_t(1 - ps.side), 0, NoSquare);
    GenerateMoves(pos, 0);
    for (int k = 1; k <= ps.moveCount; ++k) {
        const Move m = pos.moves[0][k];
        const std::string text = MoveToText(m) + " ";
        if (reachable && !IsCastling(pos.board[FromOf(m)], m) && !IsEnPassant(ps, m) &&
            WouldGiveCheck(pos, m, 0) != reference::WouldGiveCheck(pos, m, 0))
            return text + "WouldGiveCheck";
        if (ps.inCheck && CannotEscapeCheck(pos, m, 0, checkers) !=
                              reference::CannotEscapeCheck(pos, m, 0, walked))
            return text + "CannotEscapeCheck";
        const bool special = IsCastling(pos.board[FromOf(m)], m) || IsEnPassant(ps, m);
        const bool exposes = !special && !ps.inCheck && WouldExposeKing(pos, m, 0);
        const bool legal = MakeMove(pos, m, 0);
        if (!special && !ps.inCheck && exposes == legal) return text + "WouldExposeKing";
        if (!reachable || !legal) {
            if (legal) TakeBack(pos, m, 0);
            continue;
        }
        const bool gives = GivesCheck(pos, m, 0), walkedGives = reference::GivesCheck(pos, m, 0);
        TakeBack(pos, m, 0);
        if (gives != walkedGives) return text + "GivesCheck";
    }
    return "";
}

std::vector<Move> ListOf(void (*generate)(Position&, int), Position& pos) {
    generate(pos, 0);
    return std::vector<Move>(pos.moves[0] + 1, pos.moves[0] + 1 + pos.ply[0].moveCount);
}

// The lists the search sees, word for word and in order: their order breaks the ties of the
// move ordering's stable sort.
TEST(Bitboards, MoveListsAreTheRayWalksLists) {
    for (const std::string& fen : PropertyPositions()) {
        SetPosition(TestPosition(), fen);
        ASSERT_EQ(ListOf(GenerateMoves, TestPosition()),
                  ListOf(reference::GenerateMoves, TestPosition()))
            << fen;
        ASSERT_EQ(ListOf(GenerateCaptures, TestPosition()),
                  ListOf(reference::GenerateCaptures, TestPosition()))
            << fen;
    }
}

// Perft's last ply counts without a list: as many moves as the full list has legal ones, in
// every position with one king of the side to move where its record keeps it; elsewhere it
// declines.
TEST(Bitboards, LegalMoveCountIsTheListsLegalMoves) {
    for (const std::string& fen : PropertyPositions()) {
        Position& pos = TestPosition();
        SetPosition(pos, fen);
        GenerateMoves(pos, 0);
        int legal = 0;
        for (int k = 1; k <= pos.ply[0].moveCount; ++k)
            if (MakeTrial(pos, pos.moves[0][k], 0)) {
                TakeBack(pos, pos.moves[0][k], 0);
                ++legal;
            }
        const PlyState& ps = pos.ply[0];
        const bool oneKing = PiecesOf(pos, ps.side, King) == SquareBit(ps.kingSquare[ps.side]);
        ASSERT_EQ(CountLegalMoves(pos, 0), oneKing ? legal : -1) << fen;
    }
}

// The evaluation's mobility, for a rook or a bishop on any square of the position.
TEST(Bitboards, MobilityAgreesWithRayWalks) {
    for (const std::string& fen : PropertyPositions()) {
        SetPosition(TestPosition(), fen);
        for (int s = 0; s < 128; ++s) {
            if (!OnBoard(s)) continue;
            ASSERT_EQ(RookMobility(Square(s), Occupied(TestPosition())),
                      reference::RookMobility(TestPosition(), Square(s)))
                << fen << " " << SquareNames[s];
            ASSERT_EQ(BishopMobility(Square(s), Occupied(TestPosition())),
                      reference::BishopMobility(TestPosition(), Square(s)))
                << fen << " " << SquareNames[s];
        }
    }
}

TEST(Bitboards, AttackQuestionsAgreeWithRayWalks) {
    for (const std::string& fen : PropertyPositions()) {
        SetPosition(TestPosition(), fen);
        ASSERT_EQ(CompareAttackQuestions(TestPosition()), "") << fen;
    }
}

}  // namespace
