// Console input and output, and the token splitter.
#include "uci/util.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

int OutputHandle = 1;

void SplitToken(std::string& text, char delimiter, std::string& token) {
    size_t at = text.find(delimiter);
    if (at == std::string::npos) {
        token = std::move(text);
        text.clear();
    } else {
        token.assign(text, 0, at);
        text.erase(0, at + 1);
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

bool ReadLine(std::string& text) {
    text.clear();
    int c;
    bool any = false;
    while ((c = std::getchar()) != EOF) {
        any = true;
        if (c == '\n') return true;
        if (c != '\r') text.push_back(char(c));
    }
    if (std::ferror(stdin)) {
        std::perror("sorvane: reading standard input");
        std::exit(1);
    }
    return any;  // a last line without a line feed still counts
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
