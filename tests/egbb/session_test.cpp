// The engine with our bitbase library converts a rook ending as fast as possible, in xboard mode.
#include <gtest/gtest.h>

#include <string>

#include "support/session.h"

namespace {

TEST(BitbaseSession, RookEndingIsMatedWithinSixteenMoves) {
    Session s;
    ASSERT_TRUE(session_start(&s, "path " TOLVANE_BUILD_DIR "/egbb/\n"));
    for (const char* line : {"xboard", "protover 2", "sd 8", "setboard 8/8/8/8/8/2k5/1R6/K7 w - - 0 1"})
        session_send(&s, line);
    ASSERT_TRUE(session_expect(&s, "feature done=1"));
    EXPECT_EQ(count_of(s.transcript, "EgbbProbe not Loaded!"), 0);
    // The engine plays both sides; the defender, knowing the bitbases too, holds out longest.
    std::string result, line;
    int plies = 0;
    while (result.empty() && plies < 100) {
        session_send(&s, "go");
        ASSERT_TRUE(session_expect(&s, "move ")) << s.transcript;
        // The result line, if any, comes before the answer to the ping.
        std::string pong = "pong " + std::to_string(++plies);
        session_send(&s, "ping " + std::to_string(plies));
        while (session_line(&s, &line) && line != pong)
            if (line.rfind("1-0", 0) == 0 || line.rfind("0-1", 0) == 0 || line.rfind("1/2-1/2", 0) == 0)
                result = line;
    }
    EXPECT_EQ(result.rfind("1-0", 0), 0u) << s.transcript;
    EXPECT_LE(plies, 2 * 16 - 1 + 4);  // the longest rook mate is sixteen moves; a little slack
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

}  // namespace
