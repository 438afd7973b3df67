// Console input and output, and the token splitter.
#include "uci/util.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>

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

void WriteLine(const std::string& message) {
    std::string line = message + '\n';
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
    std::fputs(message.c_str(), stdout);
    std::fputs("\r\n", stdout);
    std::fflush(stdout);
}

// The engine's own input buffer over standard input, so that a search can tell whether a whole
// line has arrived without blocking. Bytes before InputStart are consumed; InputScanned marks
// how far the buffer is known to hold no line feed.
static std::string InputBuffer;
static size_t InputStart = 0;
static size_t InputScanned = 0;
static bool InputEnded = false;
static std::deque<std::string> DeferredLines;

// Reads what standard input has into the buffer, waiting for it only when `wait` is set.
// A read error ends the engine, as there is no way to go on.
static void FillInput(bool wait) {
    if (InputEnded) return;
    if (!wait) {
        pollfd input{0, POLLIN, 0};
        if (poll(&input, 1, 0) <= 0) return;
    }
    if (InputStart > 0 && InputStart == InputBuffer.size()) {
        InputBuffer.clear();
        InputStart = InputScanned = 0;
    }
    char chunk[65536];
    ssize_t got;
    do got = read(0, chunk, sizeof chunk);
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        std::perror("sorvane: reading standard input");
        std::exit(1);
    }
    if (got == 0) InputEnded = true;
    InputBuffer.append(chunk, size_t(got));
}

// Takes the next whole line from the buffer; at the end of input a last line without a line
// feed still counts.
static bool TakeBufferedLine(std::string& text) {
    size_t end = InputBuffer.find('\n', InputScanned);
    if (end == std::string::npos) {
        InputScanned = InputBuffer.size();
        if (!InputEnded || InputStart == InputBuffer.size()) return false;
        end = InputBuffer.size();
    }
    text.clear();
    for (size_t i = InputStart; i < end; ++i)
        if (InputBuffer[i] != '\r') text.push_back(InputBuffer[i]);
    InputStart = InputScanned = end < InputBuffer.size() ? end + 1 : end;
    if (InputStart > InputBuffer.size() / 2 && InputStart > 65536) {
        InputBuffer.erase(0, InputStart);  // keeps the buffer small through a long session
        InputStart = InputScanned = 0;
    }
    return true;
}

bool ReadLine(std::string& text) {
    if (!DeferredLines.empty()) {
        text = std::move(DeferredLines.front());
        DeferredLines.pop_front();
        return true;
    }
    while (!TakeBufferedLine(text)) {
        if (InputEnded) return false;
        FillInput(true);
    }
    return true;
}

InputState ReadLineNow(std::string& text) {
    if (TakeBufferedLine(text)) return InputState::Line;
    FillInput(false);
    if (TakeBufferedLine(text)) return InputState::Line;
    return InputEnded ? InputState::Ended : InputState::Nothing;
}

InputState ReadLineWaiting(std::string& text) {
    while (!TakeBufferedLine(text)) {
        if (InputEnded) return InputState::Ended;
        FillInput(true);
    }
    return InputState::Line;
}

void DeferLine(const std::string& text, bool first) {
    if (first)
        DeferredLines.push_front(text);
    else
        DeferredLines.push_back(text);
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
