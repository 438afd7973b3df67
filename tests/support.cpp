// Helpers shared by the in-process tests.
#include "tests/support.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "board/fen.h"
#include "movegen/attack.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
#include "tests/fuzz/harness.h"
#include "think/think.h"
#include "uci/uci.h"
#include "uci/util.h"

Position& TestPosition() { return MainWorker(EngineSearch()).pos; }

std::string PositionToFen(const Position& pos, int ply) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            Piece p = pos.board[rank * 16 + file];
            if (!p) {
                ++empty;
                continue;
            }
            if (empty) fen += char('0' + empty);
            empty = 0;
            fen += PieceLetters[TypeOf(p) + (SideOf(p) ? 7 : 0)];
        }
        if (empty) fen += char('0' + empty);
        if (rank) fen += '/';
    }
    const PlyState& ps = pos.ply[ply];
    fen += ps.side ? " b " : " w ";
    std::string castling;
    const char* letters = "KQkq";
    for (int right = 0; right < 4; ++right) {
        if (!(ps.castling & (1 << right))) continue;
        // A Chess960 right is written by its rook's file, as Shredder-FEN does.
        const int file = pos.castlingRules.rookFrom[right] & 7;
        castling +=
            pos.castlingRules.chess960 ? char((right < 2 ? 'A' : 'a') + file) : letters[right];
    }
    fen += castling.empty() ? "-" : castling;
    fen += ' ';
    fen += ps.epSquare == NoSquare ? "-" : SquareNames[ps.epSquare];
    return fen + " 0 1";
}

std::string MirrorFen(const std::string& fen) {
    std::string_view text = fen;
    std::string placementText, side, castling, ep;
    SplitToken(text, ' ', placementText);
    std::string_view placement = placementText;
    SplitToken(text, ' ', side);
    SplitToken(text, ' ', castling);
    SplitToken(text, ' ', ep);
    std::vector<std::string> ranks;
    std::string rank;
    while (!placement.empty()) {
        SplitToken(placement, '/', rank);
        ranks.push_back(rank);
    }
    auto swapCase = [](std::string s) {
        for (char& c : s) c = char(std::isupper(c) ? std::tolower(c) : std::toupper(c));
        return s;
    };
    std::string mirrored;
    for (size_t i = ranks.size(); i-- > 0;) mirrored += swapCase(ranks[i]) + (i ? "/" : "");
    std::string mirroredCastling = castling == "-" ? "-" : swapCase(castling);
    std::string mirroredEp = ep;
    if (ep.size() == 2) mirroredEp[1] = char('1' + ('8' - ep[1]));
    return mirrored + (side == "w" ? " b " : " w ") + mirroredCastling + " " + mirroredEp + " 0 1";
}

Move RandomLegalMove(Position& pos, int ply) {
    GenerateMoves(pos, ply);
    int legal = 0;
    Move chosen = NoMove;
    for (int k = 1; k <= pos.ply[ply].moveCount; ++k) {
        const Move m = pos.moves[ply][k];
        if (!MakeTrial(pos, m, ply)) continue;
        TakeBack(pos, m, ply);
        if (RandomDraw(uint32_t(++legal)) == 0) chosen = m;
    }
    return chosen;
}

std::string PlayoutFault(const std::string& fen, bool chess960, int plies) {
    Position& pos = TestPosition();
    SetPosition(pos, fen, chess960);
    for (int ply = 0; ply < plies; ++ply) {
        if (std::string fault = CheckEveryMove(pos, ply, true); !fault.empty())
            return fault + " in " + PositionToFen(pos, ply);
        const Move m = RandomLegalMove(pos, ply);
        if (m == NoMove) break;
        if (!MakeMove(pos, m, ply)) return "a legal move was refused in " + PositionToFen(pos, ply);
        SetInCheck(pos, ply + 1);
    }
    return "";
}

void PlayRandomMoves(Position& pos, int count) {
    for (int i = 0; i < count; ++i) {
        const Move m = RandomLegalMove(pos, 0);
        if (m == NoMove || !PlayMove(pos, m)) return;
    }
}

namespace {

std::string RandomPlacement(uint32_t& seed) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            if (RandomDraw(seed, 3) != 0) {
                ++empty;
                continue;
            }
            if (empty) fen += char('0' + empty);
            empty = 0;
            // Kings are as rare as any other piece here, so some sides have none or several.
            fen += "KQRBNPkqrbnp"[RandomDraw(seed, 12)];
        }
        if (empty) fen += char('0' + empty);
        if (rank) fen += '/';
    }
    fen += RandomDraw(seed, 2) ? " b " : " w ";
    fen += "KQkq"[RandomDraw(seed, 4)];
    fen += " ";
    fen +=
        SquareNames[RandomDraw(seed, 2) ? 0x20 + RandomDraw(seed, 8) : 0x50 + RandomDraw(seed, 8)];
    return fen;
}

}  // namespace

std::vector<std::string> PropertyPositions() {
    std::vector<std::string> fens;
    const char* starts[] = {StartFen,
                            "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                            "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
                            "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
                            "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
                            "4k3/pp3ppp/8/8/8/8/PP3PPP/4K3 w - - 0 1"};
    const uint32_t savedSeed = RandomSeed;
    SeedRandom(1234);
    Position& pos = TestPosition();
    for (int game = 0; game < 60; ++game) {
        SetPosition(pos, starts[game % 6]);
        for (int ply = 0; ply < 150; ++ply) {
            if (ply % 5 == 0) fens.push_back(PositionToFen(pos, 0));
            const Move m = RandomLegalMove(pos, 0);
            if (m == NoMove || !PlayMove(pos, m)) break;
        }
    }
    uint32_t seed = 99;
    for (int i = 0; i < 400; ++i) fens.push_back(RandomPlacement(seed));
    namespace fs = std::filesystem;
    const fs::path root = SORVANE_SOURCE_DIR "/tests/fuzz";
    for (const char* folder : {"corpus/fen", "regressions/fen"})
        for (const auto& entry : fs::directory_iterator(root / folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            fens.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    RandomSeed = savedSeed;
    return fens;
}
