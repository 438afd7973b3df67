// Engine sessions over pipes, written as scripts.
#include "tests/session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <regex>

#include "tests/support.h"
#include "think/think.h"
#include "uci/uci.h"
#include "uci/util.h"

namespace {

long NowMs() {
    using namespace std::chrono;
    return long(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// A running engine: its pipes, what it has written so far, and how it ended.
struct Engine {
    int pid = -1, input = -1, output = -1, error = -1;
    std::string out, err;  // read but not yet consumed (out), everything (err)
    int status = -1;
};

bool Start(Engine& e) {
    signal(SIGPIPE, SIG_IGN);  // the engine may close its input before we are done writing
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) return false;
    e.pid = fork();
    if (e.pid == 0) {
        signal(SIGPIPE, SIG_DFL);  // as a controller would start it
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
    e.input = in[1];
    fcntl(e.input, F_SETFL, O_NONBLOCK);
    e.output = out[0];
    e.error = err[0];
    return e.pid > 0;
}

// Waits up to `ms` for output and appends what came; false when nothing more can come.
bool Pump(Engine& e, int ms) {
    pollfd fds[2];
    int n = 0;
    if (e.output >= 0) fds[n++] = {e.output, POLLIN, 0};
    if (e.error >= 0) fds[n++] = {e.error, POLLIN, 0};
    if (n == 0) return false;
    if (poll(fds, nfds_t(n), ms < 0 ? 0 : ms) <= 0) return true;
    for (int i = 0; i < n; ++i) {
        if (!fds[i].revents) continue;
        char buffer[65536];
        const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        const bool isOut = fds[i].fd == e.output;
        if (got > 0) {
            (isOut ? e.out : e.err).append(buffer, size_t(got));
        } else {
            close(fds[i].fd);
            (isOut ? e.output : e.error) = -1;
        }
    }
    return true;
}

// Takes the next whole output line (CR LF or LF) if one has arrived.
bool TakeLine(Engine& e, std::string& line) {
    const size_t end = e.out.find('\n');
    if (end == std::string::npos) return false;
    line = e.out.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    e.out.erase(0, end + 1);
    return true;
}

bool Send(Engine& e, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        pollfd fd{e.input, POLLOUT, 0};
        poll(&fd, 1, 10);
        Pump(e, 0);  // keep the engine's output flowing while it reads
        const ssize_t w = write(e.input, text.data() + sent, text.size() - sent);
        if (w < 0 && errno != EAGAIN) return false;
        if (w > 0) sent += size_t(w);
    }
    return true;
}

bool WaitExit(Engine& e, long deadline) {
    while (true) {
        Pump(e, 2);
        int status = 0;
        if (waitpid(e.pid, &status, WNOHANG) == e.pid) {
            e.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            e.pid = -1;
            while (Pump(e, 0) && (e.output >= 0 || e.error >= 0)) {
            }
            return true;
        }
        if (NowMs() > deadline) return false;
    }
}

void Finish(Engine& e) {
    if (e.pid > 0) {
        kill(e.pid, SIGKILL);
        waitpid(e.pid, nullptr, 0);
    }
    for (int fd : {e.input, e.output, e.error})
        if (fd >= 0) close(fd);
}

// Splits "WORD REST" and an optional leading number of REST.
int TakeNumber(std::string& rest, int fallback) {
    size_t digits = 0;
    while (digits < rest.size() && isdigit((unsigned char)rest[digits])) ++digits;
    if (digits == 0) return fallback;
    const int value = std::stoi(rest.substr(0, digits));
    rest.erase(0, digits < rest.size() ? digits + 1 : digits);
    return value;
}

std::string RunSteps(Engine& e, const std::vector<std::string>& script) {
    long lastSend = NowMs();
    std::string game;  // the moves of "play" steps so far
    bool gameOver = false;
    for (const std::string& step : script) {
        const size_t space = step.find(' ');
        const std::string word = step.substr(0, space);
        std::string rest = space == std::string::npos ? "" : step.substr(space + 1);
        if (word == ">") {
            if (!Send(e, rest + "\n")) return "could not send: " + rest;
            lastSend = NowMs();
        } else if (word == "wait") {
            const long until = NowMs() + TakeNumber(rest, 0);
            while (NowMs() < until) Pump(e, int(until - NowMs()));
        } else if (word == "expect") {
            const long deadline = lastSend + TakeNumber(rest, 20000) * SORVANE_TIME_SCALE;
            const std::regex pattern(rest);
            std::string line;
            bool found = false;
            while (!found) {
                while (!found && TakeLine(e, line)) found = std::regex_match(line, pattern);
                if (!found && (NowMs() > deadline || !Pump(e, int(deadline - NowMs()))))
                    return "no line matching '" + rest + "' in time";
            }
        } else if (word == "next") {
            const long deadline = NowMs() + 20000;
            std::string line;
            while (!TakeLine(e, line))
                if (NowMs() > deadline || !Pump(e, int(deadline - NowMs())))
                    return "no line where '" + rest + "' was due";
            if (!std::regex_match(line, std::regex(rest)))
                return "'" + line + "' where '" + rest + "' was due";
        } else if (word == "play") {
            // The game so far, then a search whose answer must be legal in it.
            const long limit = TakeNumber(rest, 20000) * SORVANE_TIME_SCALE;
            if (gameOver) continue;
            if (!Send(e, "position startpos moves" + game + "\n" + rest + "\n"))
                return "could not send: " + rest;
            lastSend = NowMs();
            std::string line;
            while (line.rfind("bestmove ", 0) != 0)
                while (!TakeLine(e, line))
                    if (NowMs() > lastSend + limit || !Pump(e, int(lastSend + limit - NowMs())))
                        return "no answer in time: " + rest;
            const std::string move = line.substr(9);
            const int savedOutput = OutputHandle;
            OutputHandle = -1;
            const bool legal = ExecuteCommand("position startpos moves" + game + " " + move) ==
                               CommandResult::Continue;
            OutputHandle = savedOutput;
            if (!legal || move == "0000") return "illegal answer " + move + " after" + game;
            game += " " + move;
            gameOver = RandomLegalMove(EngineGame().pos, 0) == NoMove;
        } else if (word == "nodes") {
            // Every line up to the answer: the node counts never fall, nor pass the limit.
            const long limit = TakeNumber(rest, 0);
            const long deadline = NowMs() + 20000 * SORVANE_TIME_SCALE;
            const std::regex nodes(".* nodes (\\d+) .*");
            long previous = 0;
            std::string line;
            while (line.rfind("bestmove ", 0) != 0) {
                while (!TakeLine(e, line))
                    if (NowMs() > deadline || !Pump(e, int(deadline - NowMs())))
                        return "no answer where node counts were due";
                std::smatch match;
                if (!std::regex_match(line, match, nodes)) continue;
                const long count = std::stol(match[1].str());
                if (count < previous) return "the node count fell at '" + line + "'";
                if (count > limit) return "more nodes than " + std::to_string(limit) + ": " + line;
                previous = count;
            }
        } else if (word == "lines") {
            // The next N lines: each matches, with the scores (first group) in descending
            // order and the moves (second group) all different.
            const int count = TakeNumber(rest, 1);
            const std::regex pattern(rest);
            const long deadline = NowMs() + 20000;
            std::vector<std::string> moves;
            long previous = 1L << 40;
            for (int i = 0; i < count; ++i) {
                std::string line;
                while (!TakeLine(e, line))
                    if (NowMs() > deadline || !Pump(e, int(deadline - NowMs())))
                        return "no line where '" + rest + "' was due";
                std::smatch match;
                if (!std::regex_match(line, match, pattern) || match.size() < 3)
                    return "'" + line + "' where '" + rest + "' was due";
                const long score = std::stol(match[1].str());
                if (score > previous) return "scores out of order at '" + line + "'";
                previous = score;
                if (std::find(moves.begin(), moves.end(), match[2].str()) != moves.end())
                    return "a move twice at '" + line + "'";
                moves.push_back(match[2].str());
            }
        } else if (word == "none") {
            Pump(e, 0);
            const std::regex pattern(rest);
            std::string line;
            while (TakeLine(e, line))
                if (std::regex_match(line, pattern)) return "unexpected line: " + line;
        } else if (word == "close") {
            close(e.input);
            e.input = -1;
        } else if (word == "closeout") {
            close(e.output);
            e.output = -1;
        } else if (word == "exit") {
            const int status = TakeNumber(rest, 0);
            if (!WaitExit(e, NowMs() + TakeNumber(rest, 20000) * SORVANE_TIME_SCALE))
                return "the engine did not end";
            if (e.status != status) return "exit status " + std::to_string(e.status);
        } else if (word == "stderr") {
            if (!std::regex_match(e.err, std::regex(rest))) return "standard error: " + e.err;
        } else {
            return "unknown step: " + step;
        }
    }
    return "";
}

}  // namespace

std::string RunSession(const std::vector<std::string>& script) {
    Engine e;
    if (!Start(e)) return "could not start the engine";
    std::string failure = RunSteps(e, script);
    Finish(e);
    return failure;
}
