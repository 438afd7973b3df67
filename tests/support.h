// Helpers shared by the tests: driving the built engine over pipes.
#pragma once

#include <string>

#include "tests/session.h"

// A running engine that the test talks to line by line.
struct EngineSession {
    int pid = -1;
    int toEngine = -1;
    int fromEngine = -1;
    std::string pending;  // bytes read but not yet returned as lines
};

bool StartSession(EngineSession& session);
void SendLine(EngineSession& session, const std::string& line);
// Reads the next output line (without line end); false on end of output or timeout.
bool ReceiveLine(EngineSession& session, std::string& line, int timeoutMs = 20000);
// Reads lines until one starts with `prefix`; returns that line, or "" on failure.
std::string ReceiveUntil(EngineSession& session, const std::string& prefix, int timeoutMs = 20000);
// Closes the engine's input and waits for it; returns the exit status (-1 on timeout).
int EndSession(EngineSession& session, int timeoutMs = 20000);
// Kills the engine at once and reaps it.
void KillSession(EngineSession& session);

// The position on the board with the side, castling and en-passant square of `ply`, as FEN.
std::string PositionToFen(int ply);

// The colour mirror of a FEN: ranks flipped, colours and side to move swapped.
std::string MirrorFen(const std::string& fen);

// Plays `text` on the driver's own game position (ply 0) when it is legal there; returns
// whether it was.
bool PlayIfLegal(const std::string& text);

// True when the side to move at ply 0 has a legal move.
bool HasLegalMove();

// Plays up to `count` random legal moves on the game position (ply 0), as the POSITION
// command would. Stops early when the side to move has no legal move. Uses the engine's
// seeded generator, so a fixed seed repeats the game.
void PlayRandomMoves(int count);
