// Analysis through the real program: several lines, ordered and numbered, and status lines.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/session.h"

namespace {

// Three captures, one of them mate: MultiPV 3 shows the mate first, then the other two, each
// depth's lines together and numbered 1 to 3.
TEST(AnalysisSession, MultiPvLinesInOrderOneBatchPerDepth) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    session_send(&s, "uci");
    ASSERT_TRUE(session_expect(&s, "uciok"));
    session_send(&s, "setoption name MultiPV value 3");
    session_send(&s, "position fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1");
    session_send(&s, "go depth 6");
    const std::string out = session_until(&s, "bestmove");
    EXPECT_NE(out.find("bestmove a1a8"), std::string::npos) << out;
    std::smatch m;
    std::string::const_iterator at = out.begin();
    int expected = 1, depth = 0;
    std::regex line("info depth (\\d+) .*multipv (\\d+) score (\\S+ -?\\d+)");
    while (std::regex_search(at, out.end(), m, line)) {
        const int d = std::stoi(m[1]), k = std::stoi(m[2]);
        if (k == 1) depth = d;
        EXPECT_EQ(k, expected) << out;
        EXPECT_EQ(d, depth) << out;
        if (k == 1) {
            EXPECT_EQ(m[3].str(), "mate 1") << out;
        }
        expected = k == 3 ? 1 : k + 1;
        at = m[0].second;
    }
    EXPECT_EQ(depth, 6) << out;
    // The searchmoves of a restricted root still give one line per allowed move at most.
    session_send(&s, "go depth 4 searchmoves g1f1");
    const std::string restricted = session_until(&s, "bestmove");
    EXPECT_NE(restricted.find("bestmove g1f1"), std::string::npos) << restricted;
    EXPECT_EQ(restricted.find("multipv 2"), std::string::npos) << restricted;
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

// currmove lines appear once a search has run a second, at most a few a second, and not in a
// short search.
TEST(AnalysisSession, CurrentMoveOnlyInALongSearch) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path ./no-bitbases/\n"));
    session_send(&s, "uci");
    ASSERT_TRUE(session_expect(&s, "uciok"));
    session_send(&s, "position startpos");
    session_send(&s, "go depth 3");
    EXPECT_EQ(count_of(session_until(&s, "bestmove"), "currmove"), 0);
    session_send(&s, "go movetime 2500");
    const std::string out = session_until(&s, "bestmove");
    const int lines = count_of(out, "currmove");
    EXPECT_GE(lines, 1) << out;
    EXPECT_LE(lines, 8) << out;  // 1.5 s of status at four a second at most, and a margin
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

}  // namespace
