// Console input and output, and the token splitter.
#include "uci/util.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

int OutputHandle = 1;

void SplitToken(std::string_view& text, char delimiter, std::string& token) {
    const size_t at = text.find(delimiter);
    if (at == std::string_view::npos) {
        token.assign(text);
        text = {};
    } else {
        token.assign(text.substr(0, at));
        text.remove_prefix(at + 1);
    }
}

// One writer at a time, so that the lines of the search threads and of the command loop never
// interleave.
static std::mutex OutputMutex;

void WriteLine(const std::string& message) {
    std::string line = message + '\n';
    std::lock_guard lock(OutputMutex);
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t written = write(OutputHandle, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;  // a failed write is dropped; there is nobody to tell
        data += written;
        left -= size_t(written);
    }
}

void WriteReportLine(const std::string& message) {
    std::lock_guard lock(OutputMutex);
    std::fputs(message.c_str(), stdout);
    std::fputs("\r\n", stdout);
    std::fflush(stdout);
}

// Reads what standard input has into the buffer, waiting until something comes. A read error
// ends the engine, as there is no way to go on.
static void FillInput(LineReader& r) {
    if (r.ended) return;
    if (r.start > 0 && r.start == r.buffer.size()) {
        r.buffer.clear();
        r.start = r.scanned = 0;
    }
    char chunk[65536];
    ssize_t got;
    do got = read(0, chunk, sizeof chunk);
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        std::perror("sorvane: reading standard input");
        std::exit(1);
    }
    if (got == 0) r.ended = true;
    r.buffer.append(chunk, size_t(got));
}

// Takes the next whole line from the buffer; at the end of input a last line without a line
// feed still counts.
static bool TakeBufferedLine(LineReader& r, std::string& text) {
    size_t end = r.buffer.find('\n', r.scanned);
    if (end == std::string::npos) {
        r.scanned = r.buffer.size();
        if (!r.ended || r.start == r.buffer.size()) return false;
        end = r.buffer.size();
    }
    // Words may be parted by any run of spaces and tabs, as the protocol allows; the commands
    // read them one space apart.
    text.clear();
    for (size_t i = r.start; i < end; ++i) {
        const char c = r.buffer[i] == '\t' ? ' ' : r.buffer[i];
        if (c == '\r' || (c == ' ' && !text.empty() && text.back() == ' ')) continue;
        text.push_back(c);
    }
    r.start = r.scanned = end < r.buffer.size() ? end + 1 : end;
    if (r.start > r.buffer.size() / 2 && r.start > 65536) {
        r.buffer.erase(0, r.start);  // keeps the buffer small through a long session
        r.start = r.scanned = 0;
    }
    return true;
}

bool ReadLine(LineReader& reader, std::string& text) {
    while (!TakeBufferedLine(reader, text)) {
        if (reader.ended) return false;
        FillInput(reader);
    }
    return true;
}

std::string ToUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

std::string ToLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

bool ConvertInt(const std::string& token, int32_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    if (i == token.size()) return false;
    int64_t magnitude = 0;
    for (; i < token.size(); ++i) {
        if (token[i] < '0' || token[i] > '9') return false;
        magnitude = magnitude * 10 + (token[i] - '0');
        if (magnitude > 2147483648LL) return false;
    }
    int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX || result < INT32_MIN) return false;
    value = int32_t(result);
    return true;
}
