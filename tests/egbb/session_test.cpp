// The engine with our bitbase library converts queen and rook endings to mate, in xboard mode.
#include <gtest/gtest.h>

#include "support/session.h"

namespace {

TEST(BitbaseSession, QueenAndRookEndingsAreMatedAtOnce) {
    const struct {
        const char* position;
        int best_moves;  // the mate's length with best play on both sides
    } cases[] = {{"8/8/4k3/8/8/8/1Q6/K7 w - - 0 1", 10}, {"8/8/8/8/8/2k5/1R6/K7 w - - 0 1", 16}};
    const std::string engine = engine_command().back();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        Session s;
        ASSERT_TRUE(session_start(&s, "path " + engine.substr(0, engine.find_last_of('/')) + "/egbb/\n"));
        for (const std::string& line : {std::string("xboard"), std::string("protover 2"), std::string("sd 8"),
                                        std::string("setboard ") + c.position})
            session_send(&s, line);
        ASSERT_TRUE(session_expect(&s, "feature done=1"));
        EXPECT_EQ(count_of(s.transcript, "EgbbProbe not Loaded!"), 0);
        // The engine plays both sides; the defender, knowing the bitbases too, holds out longest.
        // A result line comes before the answer to the ping that follows the move.
        std::string result;
        int plies = 0;
        while (result.empty() && plies < 100) {
            session_send(&s, "go");
            ASSERT_TRUE(session_expect(&s, "move ")) << s.transcript;
            session_send(&s, "ping " + std::to_string(++plies));
            const std::string out = session_until(&s, "pong " + std::to_string(plies));
            result = first_match("\n" + out, "\n((1-0|0-1|1/2-1/2) .*)\n");
        }
        EXPECT_EQ(result.rfind("1-0", 0), 0u) << s.transcript;
        EXPECT_LE(plies, 2 * c.best_moves - 1 + 4);  // a little slack over the best line
        session_send(&s, "quit");
        EXPECT_EQ(session_finish(&s), 0);
    }
}

}  // namespace
