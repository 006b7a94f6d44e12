// What an interface relies on from any build on any platform, through the program's standard
// input and output: the console, a timed move that uses its time, an analysis that runs until
// "exit", a "?" obeyed at once, and input redirected from a file. A Windows build runs these
// under wine, through real Windows pipes and through wine's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>

#include "support/session.h"

namespace {

// The depth of a thinking line, or 0 for any other line.
int depth_of(const std::string& line) {
    static const std::regex thinking_line("^(\\d+) -?\\d+ \\d+ \\d+ .*");
    std::smatch match;
    return std::regex_match(line, match, thinking_line) ? std::stoi(match[1]) : 0;
}

// Reads up to the engine's move line; the deepest thinking line before it goes to `depth`.
bool read_to_move(Session* s, int* depth) {
    std::string line;
    *depth = 0;
    while (session_line(s, &line)) {
        if (line.rfind("move ", 0) == 0) return true;
        *depth = std::max(*depth, depth_of(line));
    }
    return false;
}

// Reads thinking lines until one reaches `depth`.
bool read_to_depth(Session* s, int depth) {
    std::string line;
    while (session_line(s, &line))
        if (depth_of(line) >= depth) return true;
    return false;
}

TEST(PlatformSession, ConsolePerft) {
    Session s;
    ASSERT_TRUE(session_start(&s));
    session_send(&s, "perft 5");
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
    // The published counts of the start position.
    const std::regex counts("1:\\t\\d+\\t20\\n2:\\t\\d+\\t400\\n3:\\t\\d+\\t8902\\n"
                            "4:\\t\\d+\\t197281\\n5:\\t\\d+\\t4865609\\n");
    EXPECT_TRUE(std::regex_search(s.transcript, counts)) << s.transcript;
}

// The program in xboard mode after the greeting; "quit" at the end.
struct PlatformXboard : testing::Test {
    Session s;
    void SetUp() override {
        ASSERT_TRUE(session_start(&s));
        std::string greeting = session_exchange(&s, {"xboard", "protover 2"});
        EXPECT_NE(greeting.find("feature myname=\"Tolvane v.4.88\""), std::string::npos);
        EXPECT_NE(greeting.find("feature done=1\n"), std::string::npos) << greeting;
    }
    void TearDown() override {
        session_send(&s, "quit");
        EXPECT_EQ(session_finish(&s), 0) << s.transcript;
    }
};

// A search that takes input it cannot see for a command stops at its first time check: the
// move comes at once, from a shallow depth.
TEST_F(PlatformXboard, TimedMoveUsesItsTime) {
    session_send(&s, "new");
    session_send(&s, "st 2");
    auto start = std::chrono::steady_clock::now();
    session_send(&s, "go");
    int depth = 0;
    ASSERT_TRUE(read_to_move(&s, &depth)) << s.transcript;
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::seconds(1)) << s.transcript;
    EXPECT_GE(depth, 8) << s.transcript;
}

TEST_F(PlatformXboard, AnalysisRunsUntilExit) {
    for (const char* line : {"new", "force", "analyze"}) session_send(&s, line);
    ASSERT_TRUE(read_to_depth(&s, 8)) << s.transcript;
    session_exchange(&s, {"exit"});
    EXPECT_EQ(count_of(s.transcript, "move "), 0) << s.transcript;
    // Ended: nothing more is printed while the engine waits.
    EXPECT_EQ(session_exchange(&s, {}), "");
}

// "?" makes the engine move now, whatever its time; a search that missed it would still be
// thinking when the session gives up waiting.
TEST_F(PlatformXboard, QuestionMarkMovesNow) {
    for (const char* line : {"new", "st 1000", "go"}) session_send(&s, line);
    ASSERT_TRUE(read_to_depth(&s, 6)) << s.transcript;
    session_send(&s, "?");
    int depth = 0;
    ASSERT_TRUE(read_to_move(&s, &depth)) << s.transcript;
    // The game goes on: the engine's move stands and the reply is legal.
    std::string out = session_exchange(&s, {"force", "e7e5", "d7d5"});
    EXPECT_EQ(count_of(out, "Illegal move"), 1) << out;
}

// A file holds every line at once: the engine reads them in order and ends at its end.
TEST(PlatformSession, InputFromAFile) {
    Session s;
    ASSERT_TRUE(
        session_start_with_file(&s, "perft 3\nxboard\nprotover 2\nnew\nsd 4\ngo\nping 9\n"));
    EXPECT_EQ(session_finish(&s), 0);
    EXPECT_NE(s.transcript.find("\t8902\n"), std::string::npos) << s.transcript;
    EXPECT_NE(s.transcript.find("feature done=1\n"), std::string::npos) << s.transcript;
    size_t move = s.transcript.find("\nmove ");
    EXPECT_NE(move, std::string::npos) << s.transcript;
    EXPECT_GT(s.transcript.find("pong 9\n"), move) << s.transcript;
}

}  // namespace
