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
//   "next REGEX"          the next output line matches REGEX in full
//   "play [MS] GO"        send "position startpos moves" with the moves played so far, then
//                         GO; the answer must come within MS ms (default 20000), be legal
//                         there, and is added to the game (once the game is over, further
//                         "play" steps do nothing)
//   "lines N REGEX"       the next N output lines match REGEX, whose first group (a score)
//                         does not rise from line to line and whose second group (a move)
//                         differs on every line
//   "nodes N"             the output lines up to the next "bestmove" give node counts that
//                         never fall and never pass N
//   "none REGEX"          no line that has arrived by now (and was not yet read) matches REGEX
//   "close"               close the engine's input
//   "closeout"            stop reading: close the engine's output pipe
//   "exit STATUS [MS]"    the engine ends with STATUS within MS ms (default 20000); a signal
//                         counts as 128 + its number
//   "stderr REGEX"        after the exit, standard error matches REGEX in full
// The engine is killed if it is still running at the end. Sanitizer builds run about ten
// times slower (ThreadSanitizer's, with more threads than cores, far slower still), so there
// every time limit is SORVANE_TIME_SCALE times longer.
std::string RunSession(const std::vector<std::string>& script);
