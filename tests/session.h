// Engine sessions over pipes, written as scripts: the one way the suite talks to the binary.
#pragma once

#include <string>
#include <vector>

// Runs the built engine through one script and returns "" when every step held, or what went
// wrong. Each step is one string:
//   "> TEXT"              send TEXT and a line feed
//   "wait MS"             let MS milliseconds pass
//   "expect [MS] REGEX"   read output lines until one matches REGEX in full, within MS ms
//                         (default 20000) of the last line sent; the lines before it are skipped
//   "none REGEX"          no line that has arrived by now (and was not yet read) matches REGEX
//   "close"               close the engine's input
//   "closeout"            stop reading: close the engine's output pipe
//   "exit STATUS [MS]"    the engine ends with STATUS within MS ms (default 20000); a signal
//                         counts as 128 + its number
//   "stderr REGEX"        after the exit, standard error matches REGEX in full
// The engine is killed if it is still running at the end.
std::string RunSession(const std::vector<std::string>& script);

// Plays a session that sends `input` (lines joined with line feeds), closes the input and
// collects everything: standard output, standard error and the exit status.
struct EngineRun {
    std::string out, err;
    int status;  // exit status, 128 + signal, or -1 when it did not end within the time
};
EngineRun RunEngine(const std::string& input, int timeoutMs = 20000);
