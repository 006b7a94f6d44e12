// The engine with our bitbase library converts queen and rook endings to mate, in xboard mode.
#include <gtest/gtest.h>

#include <string>

#include "support/session.h"

namespace {

struct Conversion {
    const char* position;
    int best_moves;  // the mate's length with best play on both sides
};

TEST(BitbaseSession, QueenAndRookEndingsAreMatedAtOnce) {
    const Conversion cases[] = {
        {"8/8/4k3/8/8/8/1Q6/K7 w - - 0 1", 10},
        {"8/8/8/8/8/2k5/1R6/K7 w - - 0 1", 16},
    };
    for (const Conversion& c : cases) {
        SCOPED_TRACE(c.position);
        Session s;
        ASSERT_TRUE(session_start(&s, "path " + session_engine_folder() + "/egbb/\n"));
        for (const std::string& line : {std::string("xboard"), std::string("protover 2"), std::string("sd 8"),
                                        std::string("setboard ") + c.position})
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
        EXPECT_LE(plies, 2 * c.best_moves - 1 + 4);  // a little slack over the best line
        session_send(&s, "quit");
        EXPECT_EQ(session_finish(&s), 0);
    }
}

}  // namespace
