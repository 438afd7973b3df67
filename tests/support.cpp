// Helpers shared by the in-process tests.
#include "tests/support.h"

#include <cctype>
#include <vector>

#include "movegen/attack.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"
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
    if (ps.castling & CastleWK) castling += 'K';
    if (ps.castling & CastleWQ) castling += 'Q';
    if (ps.castling & CastleBK) castling += 'k';
    if (ps.castling & CastleBQ) castling += 'q';
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

void PlayRandomMoves(Position& pos, int count) {
    for (int i = 0; i < count; ++i) {
        const Move m = RandomLegalMove(pos, 0);
        if (m == NoMove || !PlayMove(pos, m)) return;
    }
}
