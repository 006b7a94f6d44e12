// The engine with and without our bitbase library, driven in xboard mode as an interface does.
#include <gtest/gtest.h>

#include <string>

// The shell's pipe-pair driver, compiled into this test program as well.
#include "support/session.h"

namespace {

const std::string WITH_LIBRARY = "path " TOLVANE_BUILD_DIR "/egbb/\n";

void enter_xboard(Session* s) {
    session_send(s, "xboard");
    session_send(s, "protover 2");
    ASSERT_TRUE(session_expect(s, "feature done=1"));
}

struct Game {
    int plies = 0;
    std::string result;  // the result line, empty if none came
};

// The engine plays both sides from `fen` at a fixed depth until a result line or max_plies.
Game self_play(Session* s, const std::string& fen, int max_plies) {
    Game game;
    session_send(s, "sd 8");
    session_send(s, "setboard " + fen);
    for (int ply = 0; ply < max_plies && game.result.empty(); ply++) {
        session_send(s, "go");
        if (!session_expect(s, "move ")) break;
        game.plies++;
        // The result line, if any, comes before the answer to the ping.
        std::string token = std::to_string(ply);
        session_send(s, "ping " + token);
        std::string line;
        while (session_line(s, &line) && line != "pong " + token)
            if (line.rfind("1-0", 0) == 0 || line.rfind("0-1", 0) == 0 ||
                line.rfind("1/2-1/2", 0) == 0)
                game.result = line;
    }
    return game;
}

TEST(BitbaseSession, WithTheLibraryRookAndQueenMateAsFastAsPossible) {
    Session s;
    ASSERT_TRUE(session_start(&s, WITH_LIBRARY));
    enter_xboard(&s);
    EXPECT_EQ(count_of(s.transcript, "EgbbProbe not Loaded!"), 0);

    // A rook ending sixteen moves from mate, then a queen ending ten moves from mate; the
    // defender, knowing the bitbases too, holds out as long as it can.
    Game rook = self_play(&s, "8/8/8/8/8/2k5/1R6/K7 w - - 0 1", 100);
    EXPECT_EQ(rook.result.rfind("1-0", 0), 0u) << s.transcript;
    EXPECT_LE(rook.plies, 2 * 16 - 1 + 4);
    Game queen = self_play(&s, "8/8/4k3/8/8/8/1Q6/K7 w - - 0 1", 100);
    EXPECT_EQ(queen.result.rfind("1-0", 0), 0u);
    EXPECT_LE(queen.plies, 2 * 10 - 1 + 4);
    // Black's rook, Black to move.
    Game black = self_play(&s, "8/8/8/8/8/1k6/6r1/7K b - - 0 1", 100);
    EXPECT_EQ(black.result.rfind("0-1", 0), 0u);
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

TEST(BitbaseSession, WithoutTheLibraryTheEngineSaysSoAndPlaysOn) {
    Session s;
    ASSERT_TRUE(session_start(&s));  // a fresh directory: no ./egbb/ there
    enter_xboard(&s);
    EXPECT_EQ(count_of(s.transcript, "EgbbProbe not Loaded!"), 1);
    Game game = self_play(&s, "8/8/8/8/8/2k5/1R6/K7 w - - 0 1", 6);
    EXPECT_EQ(game.plies, 6);
    session_send(&s, "quit");
    EXPECT_EQ(session_finish(&s), 0);
}

}  // namespace
