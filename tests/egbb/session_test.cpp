// The engine with our bitbase library converts queen and rook endings to mate, in xboard mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

// A library that is unusable, or whose scores are impossible, costs the bitbases and nothing else:
// the engine says why once and goes on playing legal moves.
TEST(BitbaseSession, AFaultyLibraryIsNamedOnceAndTheEngineGoesOnPlaying) {
    auto not_a_library = std::filesystem::temp_directory_path() / "tolvane-session-not-a-library";
    std::filesystem::create_directories(not_a_library);
    std::ofstream(not_a_library / "egbbso64.so") << "MZ and nothing after\n";
    struct Fault {
        std::string folder;
        std::string message;
        bool loads;
    };
    const Fault faults[] = {
        {TOLVANE_BUILD_DIR "/test-egbb/garbage_scores/", "Bitbase library gave the impossible score", true},
        {TOLVANE_BUILD_DIR "/test-egbb/no_entries/", "is unusable: it has no entry", false},
        {not_a_library.string() + "/", "is unusable: ", false},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.folder);
        Session s;
        ASSERT_TRUE(session_start(&s, "path " + f.folder + "\n"));
        for (const char* line : {"xboard", "protover 2", "sd 6", "setboard 8/8/4k3/8/8/8/1Q6/K7 w - - 0 1"})
            session_send(&s, line);
        ASSERT_TRUE(session_expect(&s, "feature done=1"));
        for (int ply = 0; ply < 12; ply++) {
            session_send(&s, "go");
            ASSERT_TRUE(session_expect(&s, "move ")) << s.transcript;
            session_send(&s, "force");
        }
        session_send(&s, "quit");
        EXPECT_EQ(session_finish(&s), 0);
        EXPECT_EQ(count_of(s.transcript, f.message), 1) << s.transcript;
        EXPECT_EQ(count_of(s.transcript, "EgbbProbe not Loaded!"), f.loads ? 0 : 1);
        EXPECT_EQ(count_of(s.transcript, "Illegal"), 0);

        // A UCI interface hears the same, each line as the protocol's own text.
        Session u;
        ASSERT_TRUE(session_start(&u, "path " + f.folder + "\n"));
        for (const char* line : {"uci", "position fen 8/8/4k3/8/8/8/1Q6/K7 w - - 0 1", "go depth 6"})
            session_send(&u, line);
        ASSERT_TRUE(session_expect(&u, "bestmove ")) << u.transcript;
        session_send(&u, "quit");
        EXPECT_EQ(session_finish(&u), 0);
        EXPECT_EQ(count_of(u.transcript, "info string " + f.message), f.message.starts_with("Bitbase") ? 1 : 0)
            << u.transcript;
        EXPECT_EQ(count_of(u.transcript, "info string Bitbase library "), 1) << u.transcript;
        EXPECT_EQ(count_of("\n" + u.transcript, "\nBitbase library "), 0) << u.transcript;
    }
    std::filesystem::remove_all(not_a_library);
}

}  // namespace
