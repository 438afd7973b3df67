// The console primitives and the command loop, the latter through the built binary.
#include <gtest/gtest.h>

#include "tests/support.h"
#include "uci/util.h"

namespace {

const std::string NameLine = "Sorvane v 1.0b\r\n";
const std::string Handshake =
    "id name Sorvane v 1.0b\nid author Omberlin\n"
    "option name Hash type spin default 32 min 4 max 512\n"
    "option name Clear Hash type button\nuciok\n";

TEST(Tokens, SplitKeepsEmptyTokens) {
    std::string_view text = "go  depth 5";
    std::string token;
    std::vector<std::string> tokens;
    while (!text.empty()) {
        SplitToken(text, ' ', token);
        tokens.push_back(token);
    }
    EXPECT_EQ(tokens, (std::vector<std::string>{"go", "", "depth", "5"}));
    text = "e2e4";
    SplitToken(text, ' ', token);
    EXPECT_EQ(token, "e2e4");
    EXPECT_EQ(text, "");
    SplitToken(text, ' ', token);
    EXPECT_EQ(token, "");
    text = " x";
    SplitToken(text, ' ', token);
    EXPECT_EQ(token, "");
    EXPECT_EQ(text, "x");
}

TEST(Tokens, IntegerConversion) {
    int32_t v = 0;
    EXPECT_TRUE(ConvertInt("42", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(ConvertInt("-200", v));
    EXPECT_EQ(v, -200);
    EXPECT_TRUE(ConvertInt("+7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(ConvertInt("2147483647", v));
    EXPECT_EQ(v, INT32_MAX);
    EXPECT_TRUE(ConvertInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    for (const char* bad : {"", "x", "-", "+", "2147483648", "-2147483649", "12a", " 1", "1.5",
                            "99999999999999999999"})
        EXPECT_FALSE(ConvertInt(bad, v)) << bad;
}

TEST(CommandLoop, HandshakeBytes) {
    EngineRun run = RunEngine("uci\nisready\nquit\n");
    EXPECT_EQ(run.out, NameLine + Handshake + "readyok\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
}

TEST(CommandLoop, CommandWordsAreCaseInsensitive) {
    EngineRun run = RunEngine("Uci\nUCI\nIsReady now\r\nquit\n");
    EXPECT_EQ(run.out, NameLine + Handshake + Handshake + "readyok\n");
}

TEST(CommandLoop, UnknownAndMalformedLinesAreIgnored) {
    EngineRun run = RunEngine("\n uci\nhello\ngo2\nucinewgamex\nstop\n\r\nisready\nquit\n");
    EXPECT_EQ(run.out, NameLine + "readyok\n");
    EXPECT_EQ(run.status, 0);
}

TEST(CommandLoop, QuitEndsAtOnceAndEndOfInputEndsCleanly) {
    EngineRun quit = RunEngine("quit\nuci\n");
    EXPECT_EQ(quit.out, NameLine);
    EXPECT_EQ(quit.status, 0);
    EngineRun eof = RunEngine("isready");  // last line without a line feed
    EXPECT_EQ(eof.out, NameLine + "readyok\n");
    EXPECT_EQ(eof.status, 0);
    EngineRun empty = RunEngine("");
    EXPECT_EQ(empty.out, NameLine);
    EXPECT_EQ(empty.status, 0);
}

TEST(CommandLoop, NameLineArrivesBeforeAnyInput) {
    EngineSession session;
    ASSERT_TRUE(StartSession(session));
    std::string line;
    ASSERT_TRUE(ReceiveLine(session, line, 5000));
    EXPECT_EQ(line, "Sorvane v 1.0b");
    SendLine(session, "quit");
    EXPECT_EQ(EndSession(session), 0);
}

TEST(CommandLoop, SelfTestReportsEachDepthAsItEnds) {
    EngineSession session;
    ASSERT_TRUE(StartSession(session));
    SendLine(session, "test");
    std::string line;
    ASSERT_TRUE(ReceiveLine(session, line));  // the name line
    const char* counts[] = {"48", "2039", "97862", "4085603"};
    for (int depth = 1; depth <= 4; ++depth) {
        ASSERT_TRUE(ReceiveLine(session, line, 60000));
        std::string head =
            "Depth=" + std::to_string(depth) + " Nodes=" + counts[depth - 1] + " Time=";
        EXPECT_EQ(line.rfind(head, 0), 0u) << line;
        EXPECT_NE(line.find(" NPS="), std::string::npos) << line;
    }
    KillSession(session);
}

}  // namespace
