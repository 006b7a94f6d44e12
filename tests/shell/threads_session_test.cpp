// Several search threads through the real program: every way a search ends still ends it with a
// legal move, and the node limit counts the nodes of all threads.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include "support/session.h"

namespace {

// A pause of up to a third of a second, the same on every run.
void pause_a_little(std::mt19937* random) {
    std::this_thread::sleep_for(std::chrono::milliseconds((*random)() % 300));
}

std::string word_after(const std::string& out, const std::string& word) {
    std::smatch m;
    return std::regex_search(out, m, std::regex(word + " (\\S+)")) ? m[1].str() : "";
}

// UCI: stop at any moment, ponderhit, a node limit over all threads, and the count changed
// between searches, up and down.
TEST(ThreadsSession, UciSearchesEndWithAMoveWhateverEndsThem) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    std::mt19937 random(25);
    session_send(&s, "uci");
    ASSERT_TRUE(session_expect(&s, "uciok"));
    for (const char* threads : {"4", "2", "4", "1", "3"}) {
        SCOPED_TRACE(threads);
        session_send(&s, std::string("setoption name Threads value ") + threads);
        session_send(&s, "position startpos moves e2e4 c7c5 g1f3");
        session_send(&s, "go infinite");
        pause_a_little(&random);
        session_send(&s, "stop");
        std::string out = session_until(&s, "bestmove");
        EXPECT_NE(word_after(out, "bestmove"), "0000") << out;
        session_send(&s, "go ponder wtime 2000 btime 2000");
        pause_a_little(&random);
        session_send(&s, "ponderhit");
        out = session_until(&s, "bestmove");
        EXPECT_NE(word_after(out, "bestmove"), "0000") << out;
        session_send(&s, "go nodes 20000");
        out = session_until(&s, "bestmove");
        const long long nodes = std::stoll(word_after(out.substr(out.rfind("info depth")), "nodes"));
        EXPECT_GE(nodes, 20000) << out;
        EXPECT_LE(nodes, 30000) << out;
    }
    session_send(&s, "go infinite");
    pause_a_little(&random);
    session_send(&s, "quit");  // in the middle of a search
    EXPECT_NE(word_after(session_until(&s, "bestmove"), "bestmove"), "0000");
    EXPECT_EQ(session_finish(&s), 0);
}

// xboard: "?" at any moment, a clock, analysis with "." and "exit", a hint, and the end of
// input in the middle of a search.
TEST(ThreadsSession, XboardSearchesEndWithAMoveWhateverEndsThem) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\nthreads 4\n"));
    std::mt19937 random(960);
    session_send(&s, "xboard");
    session_send(&s, "protover 2");
    ASSERT_TRUE(session_expect(&s, "feature done=1"));
    for (const char* cores : {"4", "2", "3"}) {
        SCOPED_TRACE(cores);
        session_send(&s, std::string("cores ") + cores);
        session_send(&s, "new");
        session_send(&s, "st 30");
        session_send(&s, "go");
        pause_a_little(&random);
        session_send(&s, "?");
        ASSERT_TRUE(session_expect(&s, "move "));
        session_send(&s, "level 0 0:02 0");
        session_send(&s, "time 200");
        session_send(&s, "go");
        ASSERT_TRUE(session_expect(&s, "move "));
        session_send(&s, "force");
        session_send(&s, "analyze");
        pause_a_little(&random);
        session_send(&s, ".");
        session_send(&s, "exit");
    }
    session_send(&s, "hint");
    ASSERT_TRUE(session_expect(&s, "Hint: "));
    session_send(&s, "go");
    pause_a_little(&random);
    EXPECT_EQ(session_finish(&s), 0);  // the input ends while four threads search
}

}  // namespace
