// Console input and output, and the token splitter.
#pragma once

#include <cstdint>
#include <string>

// Standard output's file descriptor, fetched once at start-up.
extern int OutputHandle;

// Takes the text before the first `delimiter` into `token` and leaves the rest in `text`.
// Without a delimiter the whole text becomes the token and the text becomes empty.
void SplitToken(std::string& text, char delimiter, std::string& token);

// Writes one protocol line (a line feed is appended) with a single write call, looping only
// on partial writes, so each line leaves the process at once.
void WriteLine(const std::string& message);

// Writes a report line ending in CR LF to the buffered stream and flushes it, for the name
// line and the self-test report.
void WriteReportLine(const std::string& message);

// Reads one command line without its line end; carriage returns are dropped. Returns false
// at the end of input.
bool ReadLine(std::string& text);

std::string ToUpper(std::string text);
std::string ToLower(std::string text);

// Converts an optional sign followed by decimal digits to a signed 32-bit value. Returns
// false for anything else, including values out of range.
bool ConvertInt(const std::string& token, int32_t& value);
