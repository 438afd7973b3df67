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
// on partial writes, so each line leaves the process at once. Any thread may write: one line
// is written whole before the next begins.
void WriteLine(const std::string& message);

// Writes a report line ending in CR LF to the buffered stream and flushes it, for the name
// line and the self-test report.
void WriteReportLine(const std::string& message);

// A reader of standard input's lines, read in large chunks so that a long line costs time in
// proportion to its length. Bytes of the buffer before `start` are consumed; `scanned` marks how
// far it is known to hold no line feed. The command loop's reader thread owns the one reader.
struct LineReader {
    std::string buffer;
    size_t start = 0;
    size_t scanned = 0;
    bool ended = false;
};

// Reads one command line without its line end, waiting for it; carriage returns are dropped,
// and a run of spaces and tabs becomes one space.
// Returns false at the end of input.
bool ReadLine(LineReader& reader, std::string& text);

std::string ToUpper(std::string text);
std::string ToLower(std::string text);

// Converts an optional sign followed by decimal digits to a signed 32-bit value. Returns
// false for anything else, including values out of range.
bool ConvertInt(const std::string& token, int32_t& value);
