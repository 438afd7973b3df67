// Helpers that drive the engine binary over pipes.
#include "tests/support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "uci/util.h"

static long NowMs() {
    using namespace std::chrono;
    return long(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

static int Spawn(int& inFd, int& outFd, int& errFd) {
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) return -1;
    int pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        execl(SORVANE_BINARY, SORVANE_BINARY, (char*)nullptr);
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    inFd = in[1];
    outFd = out[0];
    errFd = err[0];
    return pid;
}

static int WaitStatus(int pid, long deadline) {
    int status = 0;
    while (true) {
        int r = waitpid(pid, &status, WNOHANG);
        if (r == pid) break;
        if (NowMs() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        usleep(2000);
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -2;
}

bool StartSession(EngineSession& session) {
    signal(SIGPIPE, SIG_IGN);
    int errFd;
    session.pid = Spawn(session.toEngine, session.fromEngine, errFd);
    if (session.pid < 0) return false;
    close(errFd);
    return true;
}

void SendLine(EngineSession& session, const std::string& line) {
    std::string text = line + "\n";
    size_t sent = 0;
    while (sent < text.size()) {
        ssize_t w = write(session.toEngine, text.data() + sent, text.size() - sent);
        if (w <= 0) return;
        sent += size_t(w);
    }
}

bool ReceiveLine(EngineSession& session, std::string& line, int timeoutMs) {
    long deadline = NowMs() + timeoutMs;
    while (true) {
        size_t end = session.pending.find('\n');
        if (end != std::string::npos) {
            line = session.pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            session.pending.erase(0, end + 1);
            return true;
        }
        long left = deadline - NowMs();
        if (left <= 0) return false;
        pollfd fd{session.fromEngine, POLLIN, 0};
        if (poll(&fd, 1, int(left)) <= 0) continue;
        char buffer[4096];
        ssize_t r = read(session.fromEngine, buffer, sizeof buffer);
        if (r <= 0) return false;
        session.pending.append(buffer, size_t(r));
    }
}

std::string ReceiveUntil(EngineSession& session, const std::string& prefix, int timeoutMs) {
    long deadline = NowMs() + timeoutMs;
    std::string line;
    while (ReceiveLine(session, line, int(std::max(1L, deadline - NowMs()))))
        if (line.rfind(prefix, 0) == 0) return line;
    return "";
}

int EndSession(EngineSession& session, int timeoutMs) {
    if (session.toEngine >= 0) close(session.toEngine);
    session.toEngine = -1;
    int status = WaitStatus(session.pid, NowMs() + timeoutMs);
    close(session.fromEngine);
    return status;
}

void KillSession(EngineSession& session) {
    kill(session.pid, SIGKILL);
    int status;
    waitpid(session.pid, &status, 0);
    if (session.toEngine >= 0) close(session.toEngine);
    close(session.fromEngine);
    session.toEngine = -1;
}

#include "movegen/attack.h"
#include "movegen/genmoves.h"
#include "movemake/hash.h"
#include "movemake/movemake.h"

std::string PositionToFen(int ply) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            Piece p = Board[rank * 16 + file];
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
    const PlyState& ps = Ply[ply];
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

void PlayRandomMoves(int count) {
    for (int i = 0; i < count; ++i) {
        GenerateMoves(0);
        int legal = 0;
        Move chosen = NoMove;
        for (int k = 1; k <= Ply[0].moveCount; ++k) {
            Move m = MoveTable[0][k];
            if (!MakeTrial(m, 0)) continue;
            TakeBack(m, 0);
            if (RandomDraw(uint32_t(++legal)) == 0) chosen = m;
        }
        if (chosen == NoMove) return;
        MakeMove(chosen, 0);
        CopyPlyState(1, 0);
        Ply[0].inCheck = IsAttacked(Ply[0].side, 0, NoSquare);
    }
}

bool PlayIfLegal(const std::string& text) {
    GenerateMoves(0);
    for (int k = 1; k <= Ply[0].moveCount; ++k) {
        Move m = MoveTable[0][k];
        if (MoveToText(m) != text) continue;
        if (!MakeMove(m, 0)) return false;
        CopyPlyState(1, 0);
        Ply[0].inCheck = IsAttacked(Ply[0].side, 0, NoSquare);
        return true;
    }
    return false;
}

bool HasLegalMove() {
    GenerateMoves(0);
    for (int k = 1; k <= Ply[0].moveCount; ++k)
        if (MakeTrial(MoveTable[0][k], 0)) {
            TakeBack(MoveTable[0][k], 0);
            return true;
        }
    return false;
}
