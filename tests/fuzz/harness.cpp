// Fuzz harnesses and the invariant checker.
#include "tests/fuzz/harness.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "board/fen.h"
#include "eval/eval.h"
#include "movegen/attack.h"
#include "movegen/genkills.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "tests/reference.h"
#include "think/think.h"
#include "uci/uci.h"
#include "uci/util.h"

namespace {

constexpr int MaxSessionLines = 64;

void Require(const std::string& fault) {
    if (fault.empty()) return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", fault.c_str());
    std::abort();
}

// Plays the move on the board by hand and asks the full attack scan whether the mover's king
// is attacked afterwards: an answer independent of the make operations' short cuts.
bool ExposesKingByFullScan(Position& pos, Move m, int ply) {
    Piece* board = pos.board;
    Piece saved[256];
    std::memcpy(saved, board, sizeof saved);
    const int us = pos.ply[ply].side;
    const Square from = FromOf(m), to = ToOf(m);
    Square king = pos.ply[ply].kingSquare[us];
    if (m & CastlingFlag) {  // king and rook land on the g- and f-file, or the c- and d-file
        const Square rook = CastlingRook(m);
        const Piece k = board[from], r = board[rook];
        const int rank = from & 0x70;
        king = Square(rank | (rook > from ? 6 : 2));
        board[from] = board[rook] = 0;
        board[king] = k;
        board[Square(rank | (rook > from ? 5 : 3))] = r;
        const bool exposed = reference::IsAttacked(pos, uint8_t(us), 0, king);
        std::memcpy(board, saved, sizeof saved);
        return exposed;
    }
    if (TypeOf(board[from]) == King) {
        king = to;
        if (IsCastling(board[from], m)) {  // the rook jumps over the king
            const Square rookFrom = Square(to > from ? from + 3 : from - 4);
            board[(from + to) / 2] = board[rookFrom];
            board[rookFrom] = 0;
        }
    }
    if (IsEnPassant(pos.ply[ply], m)) board[Square(to + (us ? North : South))] = 0;
    board[to] = board[from];
    board[from] = 0;
    const bool exposed = reference::IsAttacked(pos, uint8_t(us), 0, king);
    std::memcpy(board, saved, sizeof saved);
    return exposed;
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

// The list a generator writes at `ply`.
std::vector<Move> ListOf(void (*generate)(Position&, int), Position& pos, int ply) {
    generate(pos, ply);
    return std::vector<Move>(pos.moves[ply] + 1, pos.moves[ply] + 1 + pos.ply[ply].moveCount);
}

// The questions about the squares of one side: attacked or not (also with its king lifted off
// its square, as for a king's step), attacked through the king's lines, the checkers, the
// pins, and what each piece attacks.
std::string CheckSquareQuestions(Position& pos, int ply, uint8_t side) {
    const std::string who = side ? "black " : "white ";
    const Square king = pos.ply[ply].kingSquare[side];
    for (int s = 0; s < 128; ++s) {
        if (!OnBoard(s)) continue;
        const Square sq = Square(s);
        if (IsAttacked(pos, side, uint8_t(ply), sq) !=
            reference::IsAttacked(pos, side, uint8_t(ply), sq))
            return who + "IsAttacked " + SquareNames[s];
        if (IsAttackedThrough(pos, side, king, sq) !=
            reference::IsAttackedThrough(pos, side, king, sq))
            return who + "IsAttackedThrough " + SquareNames[s];
        if (SideOf(pos.board[s]) == side && pos.board[s])
            for (int t = 0; t < 128; ++t)
                if (OnBoard(t) && t != s &&
                    PieceAttacks(pos, sq, Square(t)) != reference::PieceAttacks(pos, sq, Square(t)))
                    return std::string("PieceAttacks ") + SquareNames[s] + SquareNames[t];
    }
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
    if (TypeOf(pos.board[king]) == King && SideOf(pos.board[king]) == side) {
        const Piece lifted = pos.board[king];
        pos.board[king] = 0;  // for the ray walks; the bitboards keep it
        std::string fault;
        for (int s = 0; s < 128 && fault.empty(); ++s)
            if (OnBoard(s) &&
                IsAttackedWith(pos, side, Square(s), Occupied(pos) ^ SquareBit(king)) !=
                    reference::IsAttacked(pos, side, uint8_t(ply), Square(s)))
                fault = who + "IsAttackedWith " + SquareNames[s];
        pos.board[king] = lifted;
        if (!fault.empty()) return fault;
    }
    return "";
}

// Appends a short clock and depth to a "go", so that no search runs for long.
std::string BoundedCommand(const std::string& line) {
    std::string_view rest = line;
    std::string word;
    SplitToken(rest, ' ', word);
    word = ToUpper(word);
    if (word == "TEST") return "";  // the full self-test takes minutes
    if (word == "GO") {
        // An analysis or pondering search waits for "stop" after it ends: leave those out.
        std::string bounded = "go", token;
        while (!rest.empty()) {
            SplitToken(rest, ' ', token);
            const std::string upper = ToUpper(token);
            if (upper != "INFINITE" && upper != "PONDER") bounded += " " + token;
        }
        return bounded + " wtime 30 btime 30 depth 4";
    }
    if (word != "SETOPTION") return line;
    // Hash sizes above 16 MB only cost time here; the clamping is still exercised.
    std::string bounded, token;
    std::string_view text = line;
    while (!text.empty()) {
        SplitToken(text, ' ', token);
        int32_t value;
        if (ConvertInt(token, value) && value > 16) token = "16";
        bounded += (bounded.empty() ? "" : " ") + token;
    }
    return bounded;
}

}  // namespace

std::string CheckBitboardAnswers(Position& pos, int ply) {
    for (uint8_t side = 0; side < 2; ++side)
        if (std::string fault = CheckSquareQuestions(pos, ply, side); !fault.empty()) return fault;
    const uint64_t occupied = Occupied(pos);
    for (int s = 0; s < 128; ++s)
        if (OnBoard(s) &&
            (RookMobility(Square(s), occupied) != reference::RookMobility(pos, Square(s)) ||
             BishopMobility(Square(s), occupied) != reference::BishopMobility(pos, Square(s))))
            return std::string("mobility on ") + SquareNames[s];
    if (ListOf(GenerateCaptures, pos, ply) != ListOf(reference::GenerateCaptures, pos, ply))
        return "the capture list differs from the ray walk's";
    const std::vector<Move> list = ListOf(GenerateMoves, pos, ply);
    if (list != ListOf(reference::GenerateMoves, pos, ply))
        return "the full list differs from the ray walk's";

    // The move questions. The check short cuts are asked only where the side not to move is not
    // in check, as in every position a game reaches; elsewhere a king can be taken.
    const PlyState& ps = pos.ply[ply];
    const bool reachable =
        !reference::IsAttacked(pos, uint8_t(1 - ps.side), uint8_t(ply), NoSquare);
    Checkers checkers, walked;
    FindCheckers(pos, ps.side, ps.kingSquare[ps.side], checkers);
    reference::FindCheckers(pos, ps.side, ps.kingSquare[ps.side], walked);
    int legalMoves = 0;
    for (const Move m : list) {
        const std::string text = MoveToText(m) + ": ";
        const bool special = IsCastling(pos.board[FromOf(m)], m) || IsEnPassant(ps, m);
        if (reachable && !special &&
            WouldGiveCheck(pos, m, ply) != reference::WouldGiveCheck(pos, m, ply))
            return text + "WouldGiveCheck";
        if (ps.inCheck && CannotEscapeCheck(pos, m, ply, checkers) !=
                              reference::CannotEscapeCheck(pos, m, ply, walked))
            return text + "CannotEscapeCheck";
        const bool exposes = !special && !ps.inCheck && WouldExposeKing(pos, m, ply);
        if (!MakeMove(pos, m, ply)) {
            if (!special && !ps.inCheck && !exposes) return text + "WouldExposeKing";
            continue;
        }
        ++legalMoves;
        const bool gives = GivesCheck(pos, m, ply);
        const bool walkedGives = reference::GivesCheck(pos, m, ply);
        TakeBack(pos, m, ply);
        if (exposes) return text + "WouldExposeKing";
        if (reachable && gives != walkedGives) return text + "GivesCheck";
    }
    const bool oneKing = PiecesOf(pos, ps.side, King) == SquareBit(ps.kingSquare[ps.side]);
    if (CountLegalMoves(pos, ply) != (oneKing ? legalMoves : -1))
        return "the legal move count differs from the list's";
    return "";
}

std::string CheckEveryMove(Position& pos, int ply, bool reachable) {
    if (std::string fault = CheckBitboardAnswers(pos, ply); !fault.empty()) return fault;
    const Piece* board = pos.board;
    Piece before[256];
    std::memcpy(before, board, sizeof before);
    GenerateMoves(pos, ply);
    const PlyState record = pos.ply[ply];
    const int us = record.side;
    Checkers checkers;
    FindCheckers(pos, uint8_t(us), record.kingSquare[us], checkers);
    const int count = pos.ply[ply].moveCount;
    if (count < 0 || count >= MaxMovesPerPly - 1) return "the move list overflows";
    std::vector<Move> tactical;
    for (int k = 1; k <= count; ++k) {
        const Move m = pos.moves[ply][k];
        const std::string text = MoveToText(m);
        if (IsTactical(m)) tactical.push_back(m);
        const bool castling = IsCastling(board[FromOf(m)], m);
        const bool enPassant = IsEnPassant(record, m);
        const bool exposes = reachable && ExposesKingByFullScan(pos, m, ply);
        const bool foreseen = reachable && !castling && !enPassant && WouldGiveCheck(pos, m, ply);
        const bool hopeless = record.inCheck && CannotEscapeCheck(pos, m, ply, checkers);
        const bool legal = MakeMove(pos, m, ply, record.inCheck ? &checkers : nullptr);
        if (legal) {
            const PlyState& next = pos.ply[ply + 1];
            if (!BitboardsMatchBoard(pos)) return text + ": the bitboards drifted";
            if (next.key != ComputeKey(pos, ply + 1)) return text + ": the key drifted";
            if (next.pawnKey != ComputePawnKey(pos)) return text + ": the pawn key drifted";
            if (reachable) {
                const bool check =
                    reference::IsAttacked(pos, next.side, uint8_t(ply + 1), NoSquare);
                if (!BoardIsOk(pos, ply + 1)) return text + ": the board check failed";
                if (GivesCheck(pos, m, ply) != check) return text + ": GivesCheck disagrees";
                if (!castling && !enPassant && foreseen != check)
                    return text + ": WouldGiveCheck disagrees";
                if (hopeless) return text + ": a check evasion was ruled out";
            }
            TakeBack(pos, m, ply);
        }
        if (reachable && legal == exposes) return text + ": legality disagrees with a full scan";
        if (!BitboardsMatchBoard(pos)) return text + ": the bitboards drifted in a take-back";
        const bool capture = MakeCapture(pos, m, ply);
        if (capture && !BitboardsMatchBoard(pos)) return text + ": the bitboards drifted";
        if (capture) TakeBack(pos, m, ply);
        const bool trial = MakeTrial(pos, m, ply);
        if (trial && !BitboardsMatchBoard(pos)) return text + ": the bitboards drifted";
        if (trial) TakeBack(pos, m, ply);
        if (capture != legal || trial != legal) return text + ": the makes disagree";
        if (std::memcmp(before, board, sizeof before) != 0) return text + ": board not restored";
        if (!BitboardsMatchBoard(pos)) return text + ": the bitboards drifted in a take-back";
        if (std::memcmp(&record, &pos.ply[ply], sizeof record) != 0)
            return text + ": record changed";
    }
    GenerateCaptures(pos, ply);
    if (pos.ply[ply].moveCount != int(tactical.size()))
        return "the capture list has another length";
    for (int k = 1; k <= pos.ply[ply].moveCount; ++k)
        if (pos.moves[ply][k] != tactical[size_t(k - 1)]) return "the capture list differs";
    return "";
}

void FuzzSetUp() {
    static int nowhere = -1;
    if (nowhere < 0) {
        InitEngineTables(20261206);
        nowhere = open("/dev/null", O_WRONLY);
    }
    if (HashSizeMB != 4) {
        HashSizeMB = 4;
        AllocateSearchTables(EngineSearch());
    }
    OutputHandle = nowhere;
}

void FuzzCommandSession(const uint8_t* data, size_t size) {
    FuzzSetUp();
    Game& game = EngineGame();
    StartGame(game, StartFen);
    ClearSearchTables(EngineSearch());
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string line;
    for (int lines = 0; !text.empty() && lines < MaxSessionLines; ++lines) {
        SplitToken(text, '\n', line);
        std::string command;
        for (char c : line)
            if (c != '\r') command += c;
        if (ExecuteCommand(BoundedCommand(command)) != CommandResult::Continue) break;
        Require(game.pos.ply[0].key == ComputeKey(game.pos, 0) ? ""
                                                               : "the game position's key drifted");
    }
    WaitForSearch(EngineSearch());
}

void FuzzFenText(const uint8_t* data, size_t size) {
    FuzzSetUp();
    Game& game = EngineGame();
    Position& pos = game.pos;
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The castling field read both ways, as standard chess's and as a Chess960 game's; the
    // search takes the Chess960 reading for texts of odd length.
    for (const bool chess960 : {true, false}) {
        StartGame(game, text, chess960);
        // Only a position with one king a side, the side not to move not in check, is one a
        // game can reach; elsewhere a king can be taken and the board rules do not hold.
        int kings[2] = {0, 0};
        for (int s = 0; s < 128; ++s)
            if (OnBoard(s) && TypeOf(pos.board[s]) == King) ++kings[SideOf(pos.board[s])];
        const bool reachable = kings[0] == 1 && kings[1] == 1 &&
                               !IsAttacked(pos, uint8_t(1 - pos.ply[0].side), 0, NoSquare);
        Require(CheckEveryMove(pos, 0, reachable));
    }
    if (size % 2) StartGame(game, text, true);
    Search& search = EngineSearch();
    Evaluate(pos, MainWorker(search).pawns, 0, -ScoreInfinity, ScoreInfinity);
    Evaluate(pos, MainWorker(search).pawns, 0, 0, 1);
    // A short search leaves the game as it found it.
    Piece before[256];
    std::memcpy(before, pos.board, sizeof before);
    Limits limits{};
    limits.depth = 3;
    limits.wtime = limits.btime = 20;
    limits.clockGiven[0] = limits.clockGiven[1] = 1;
    RunSearch(search, game, limits, SearchOptions{});
    Require(std::memcmp(before, pos.board, sizeof before) == 0 ? ""
                                                               : "the search changed the board");
}
