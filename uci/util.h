// Console input and output, and the token splitter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Standard output's file descriptor, fetched once at start-up.
extern int OutputHandle;

// Takes the text before the first `delimiter` into `token` and leaves the rest in `text`.
// Without a delimiter the whole text becomes the token and the text becomes empty. The text
// is a view, so taking every token of a long line costs time in proportion to its length.
void SplitToken(std::string_view& text, char delimiter, std::string& token);

// Writes one protocol line (a line feed is appended) with a single write call, looping only
// on partial writes, so each line leaves the process at once.
void WriteLine(const std::string& message);

// Writes a report line ending in CR LF to the buffered stream and flushes it, for the name
// line and the self-test report.
void WriteReportLine(const std::string& message);

// Reads one command line without its line end; carriage returns are dropped. Lines put back
// with DeferLine come first. Returns false at the end of input.
bool ReadLine(std::string& text);

// What a look at the input without waiting found.
enum class InputState {
    Line,     // a whole line was waiting
    Nothing,  // no whole line yet
    Ended,    // the input has ended and nothing is left of it
};

// Takes a whole line if one has already arrived, without waiting for one. A search that has
// no limit of its own uses it to hear "stop".
InputState ReadLineNow(std::string& text);

// Takes a whole line, waiting for one: Ended when the input ends first. Lines put aside with
// DeferLine are not read here. A search that must not answer before "stop" waits with it.
InputState ReadLineWaiting(std::string& text);

// Puts a line aside for ReadLine: after the lines already put aside, or before them all.
void DeferLine(const std::string& text, bool first = false);

std::string ToUpper(std::string text);
std::string ToLower(std::string text);

// Converts an optional sign followed by decimal digits to a signed 32-bit value. Returns
// false for anything else, including values out of range.
bool ConvertInt(const std::string& token, int32_t& value);
